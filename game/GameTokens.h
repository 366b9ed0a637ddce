#pragma once
// The game's way of cutting a text file into tokens, shared by its readers of
// animation files and skin files. Lines mean nothing to it: a file is one
// stream of tokens.
//
//   - Blanks are every byte up to and including ' ', and (the game compares
//     signed characters) every byte from 0x80 up; a NUL byte ends the text.
//   - "//" and "/* */" comments are recognised only where a token could
//     start; inside a word they are part of it. A "/*" never closed runs to
//     the end of the text.
//   - A token starting with '"' runs to the next '"' (or the end), blanks,
//     commas and line breaks included.
//   - Any other token runs to the next blank; for skin files also to the
//     next comma. Its first byte is always taken, even a comma.
//   - A token keeps at most kMostTokenBytes bytes; the rest is dropped.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

inline constexpr size_t kMostTokenBytes = 1023;

class GameTokens {
public:
    enum class Words { EndAtBlank, EndAtBlankOrComma };

    GameTokens(std::string_view text, Words words);

    // The next token, or "" at the end of the text (an empty quoted token
    // reads as "" too, and the game's readers take it for the end).
    std::string Next();
    // The 1-based line the last token returned by Next started on.
    int Line() const { return line_; }
    // True when the byte right after the last token is c (the skin reader
    // steps over one comma there).
    bool NextByteIs(char c) const { return at_ < text_.size() && text_[at_] == c; }
    void SkipByte();

private:
    bool isBlank(size_t at) const;
    void skipBlanksAndComments();

    std::string_view text_;
    Words words_;
    size_t at_ = 0;
    int line_ = 1;
    int linesBefore_ = 1; // line of the byte at at_
};

// What the C library's atoi and atof make of a token: leading blanks, a sign,
// then as many digits as there are (atoi: decimal only; atof: also a
// fraction, an exponent, hexadecimal, "inf" and "nan"); 0 where none start.
// The whole number wraps as a 32-bit integer would on the game's machines.
int32_t GameAtoi(const std::string& token);
double GameAtof(const std::string& token);
