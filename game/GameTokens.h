#pragma once
// The one token stream of the game's text formats: animation files, skin
// files and shader scripts are cut into tokens here, and the keyword lines of
// a shader definition are read back through it.
//
// Every format is cut alike:
//   - Blanks are every byte up to and including ' '.
//   - "//" and "/* */" comments are recognised only where a token could
//     start; inside a word they are part of it. A "//" comment runs to the
//     line end; a "/*" never closed runs to the end of the text.
//   - A token starting with '"' runs to the next '"', blanks and commas
//     included.
//   - Any other token runs to the next blank; for skin files also to the
//     next comma. Its first byte is always taken, even a comma.
//
// The rules (TokenRules) tell animation and skin files, which follow the
// game's own reading byte for byte, from shader scripts, which are read so
// that a damaged file cannot hide the rest of itself: there a NUL byte is a
// blank instead of the end of the text, bytes from 0x80 up belong to words,
// a lone CR ends a line as LF and CR LF do, a quote ends at the line end,
// and tokens keep every byte.
//
// Next and NextToken read across line ends. NextOnLine reads the values of
// a statement (a keyword and its values), which the game takes from the
// statement's own line only.
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The bytes the game keeps of a token; the rest is dropped.
inline constexpr size_t kMostTokenBytes = 1023;

// How a text is cut where its formats differ.
struct TokenRules {
    bool nulEndsText;             // a NUL byte ends the text, as in a C string; else it is a blank
    bool highBytesAreBlanks;      // bytes from 0x80 up are blanks (compared as signed characters)
    bool carriageReturnEndsLines; // a lone CR ends a line; else LF only (CR LF always counts once)
    bool quotesEndAtLineEnd;      // a quoted token ends at a line end too; else it runs across lines
    size_t mostTokenBytes;        // the bytes a token keeps
};

// Animation and skin files, as the game reads them.
inline constexpr TokenRules kGameFileTokens{true, true, false, false, kMostTokenBytes};
// Shader scripts: control characters and NULs in a damaged file only
// separate tokens, and a lost quote cannot swallow the rest of the file.
inline constexpr TokenRules kShaderScriptTokens{false, false, true, true, std::numeric_limits<size_t>::max()};

struct GameToken {
    std::string text;
    size_t line = 0;         // the 1-based line it starts on
    bool startsLine = false; // the first token, or one with a line end before it
    bool quoted = false;     // written in quotes (a quoted "{" is a name, not a brace)
    size_t begin = 0, end = 0; // the bytes of the text it was cut from, quotes included (0, 0 for statements)
};

class GameTokens {
public:
    enum class Words { EndAtBlank, EndAtBlankOrComma };

    GameTokens(std::string_view text, Words words, const TokenRules& rules = kGameFileTokens);
    // The tokens of statements already cut (the keyword lines of a shader
    // definition): the first token of each starts a line, numbered from 1.
    explicit GameTokens(std::span<const std::vector<std::string>> statements);

    // The next token, or nothing at the end.
    std::optional<GameToken> NextToken();
    // The next token, or "" at the end (an empty quoted token reads as "" too,
    // and the game's readers take it for the end).
    std::string Next();
    // The next token when no line end comes first, else "" (the line end
    // stays ahead: every call returns "" until Next or NextToken passes it).
    std::string NextOnLine();
    // Skips the tokens left on the current line.
    void SkipLine();

    // The 1-based line the last token returned started on (after the end:
    // the line the text ends on).
    int Line() const { return static_cast<int>(line_); }
    // True when the byte right after the last token is c (the skin reader
    // steps over one comma there).
    bool NextByteIs(char c) const { return at_ < text_.size() && text_[at_] == c; }
    void SkipByte();

private:
    bool reachToken();
    bool reachTextToken();
    bool reachStatementToken();
    GameToken cutToken();
    void cutTextToken(GameToken& token);
    bool isBlank(size_t at) const;
    bool isLineEnd(size_t at) const;
    void skipComment();

    std::string_view text_;
    Words words_ = Words::EndAtBlank;
    TokenRules rules_ = kGameFileTokens;
    std::span<const std::vector<std::string>> statements_;
    bool fromStatements_ = false;
    size_t at_ = 0;        // the byte of text_, or the token of statements_[statement_]
    size_t statement_ = 0;
    size_t line_ = 1;
    size_t linesBefore_ = 1; // line of the byte at at_
    bool lineEndAhead_ = false; // a line end was passed since the last token
    bool anyToken_ = false;
};

// What the C library's atoi and atof make of a token: leading blanks, a sign,
// then as many digits as there are (atoi: decimal only; atof: also a
// fraction, an exponent, hexadecimal, "inf" and "nan"); 0 where none start.
// The whole number wraps as a 32-bit integer would on the game's machines.
int32_t GameAtoi(const std::string& token);
double GameAtof(const std::string& token);
