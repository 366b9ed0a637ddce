// The token stream of the game's text formats.
#include "GameTokens.h"

#include <cctype>
#include <cstdlib>

GameTokens::GameTokens(std::string_view text, Words words, const TokenRules& rules)
    : text_(text), words_(words), rules_(rules)
{
    // The game reads a file as a C string: a NUL byte ends it.
    const size_t nul = text_.find('\0');
    if (rules_.nulEndsText && nul != std::string_view::npos)
        text_ = text_.substr(0, nul);
}

GameTokens::GameTokens(std::span<const std::vector<std::string>> statements)
    : statements_(statements), fromStatements_(true)
{
}

bool GameTokens::isBlank(size_t at) const
{
    // Compared as signed characters, bytes from 0x80 up are below ' '.
    if (rules_.highBytesAreBlanks)
        return static_cast<signed char>(text_[at]) <= ' ';
    return static_cast<unsigned char>(text_[at]) <= ' ';
}

bool GameTokens::isLineEnd(size_t at) const
{
    return text_[at] == '\n' || (rules_.carriageReturnEndsLines && text_[at] == '\r');
}

void GameTokens::SkipByte()
{
    if (at_ >= text_.size())
        return;
    // CR LF counts as one line end, at its LF.
    const bool crBeforeLf = text_[at_] == '\r' && at_ + 1 < text_.size() && text_[at_ + 1] == '\n';
    if (isLineEnd(at_)) {
        lineEndAhead_ = true;
        if (!crBeforeLf)
            ++linesBefore_;
    }
    ++at_;
}

// Steps over the comment at at_ ("//" or "/*").
void GameTokens::skipComment()
{
    if (text_[at_ + 1] == '/') {
        while (at_ < text_.size() && !isLineEnd(at_))
            SkipByte();
        return;
    }
    SkipByte();
    SkipByte();
    while (at_ < text_.size() && !(text_[at_] == '*' && at_ + 1 < text_.size() && text_[at_ + 1] == '/'))
        SkipByte();
    SkipByte();
    SkipByte();
}

// Passes blanks and comments up to the next token; false at the end.
bool GameTokens::reachTextToken()
{
    for (;;) {
        while (at_ < text_.size() && isBlank(at_))
            SkipByte();
        if (at_ >= text_.size())
            return false;
        if (at_ + 1 >= text_.size() || text_[at_] != '/' || (text_[at_ + 1] != '/' && text_[at_ + 1] != '*'))
            return true;
        skipComment();
    }
}

// Passes the statements read to their end; false after the last.
bool GameTokens::reachStatementToken()
{
    while (statement_ < statements_.size() && at_ >= statements_[statement_].size()) {
        ++statement_;
        at_ = 0;
        lineEndAhead_ = true;
        ++linesBefore_;
    }
    return statement_ < statements_.size();
}

bool GameTokens::reachToken() { return fromStatements_ ? reachStatementToken() : reachTextToken(); }

// The token at at_, where reachToken stopped.
GameToken GameTokens::cutToken()
{
    GameToken token;
    token.line = line_ = linesBefore_;
    token.startsLine = lineEndAhead_ || !anyToken_;
    lineEndAhead_ = false;
    anyToken_ = true;
    if (fromStatements_) {
        token.text = statements_[statement_][at_++];
    } else {
        token.begin = at_;
        cutTextToken(token);
        token.end = at_;
    }
    return token;
}

void GameTokens::cutTextToken(GameToken& token)
{
    const auto keep = [&](char c) {
        if (token.text.size() < rules_.mostTokenBytes)
            token.text += c;
    };
    if (text_[at_] == '"') {
        token.quoted = true;
        SkipByte();
        while (at_ < text_.size() && text_[at_] != '"' && !(rules_.quotesEndAtLineEnd && isLineEnd(at_))) {
            keep(text_[at_]);
            SkipByte();
        }
        if (at_ < text_.size() && text_[at_] == '"')
            SkipByte(); // the closing quote
        return;
    }
    do {
        keep(text_[at_]);
        SkipByte();
    } while (at_ < text_.size() && !isBlank(at_) && !(words_ == Words::EndAtBlankOrComma && text_[at_] == ','));
}

std::optional<GameToken> GameTokens::NextToken()
{
    if (!reachToken()) {
        line_ = linesBefore_;
        return std::nullopt;
    }
    return cutToken();
}

std::string GameTokens::Next()
{
    std::optional<GameToken> token = NextToken();
    return token ? std::move(token->text) : std::string();
}

std::string GameTokens::NextOnLine()
{
    if (!reachToken() || lineEndAhead_)
        return {};
    return cutToken().text;
}

void GameTokens::SkipLine()
{
    while (reachToken() && !lineEndAhead_)
        cutToken();
}

int32_t GameAtoi(const std::string& token)
{
    size_t at = 0;
    while (at < token.size() && std::isspace(static_cast<unsigned char>(token[at])))
        ++at;
    bool negative = false;
    if (at < token.size() && (token[at] == '-' || token[at] == '+'))
        negative = token[at++] == '-';
    uint32_t value = 0;
    for (; at < token.size() && token[at] >= '0' && token[at] <= '9'; ++at)
        value = value * 10u + static_cast<uint32_t>(token[at] - '0');
    return static_cast<int32_t>(negative ? 0u - value : value);
}

double GameAtof(const std::string& token) { return std::strtod(token.c_str(), nullptr); }
