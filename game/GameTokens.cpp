// The game's token stream for animation and skin files.
#include "GameTokens.h"

#include <cctype>
#include <cstdlib>

GameTokens::GameTokens(std::string_view text, Words words) : text_(text), words_(words)
{
    // The game reads a file as a C string: a NUL byte ends it.
    const size_t nul = text_.find('\0');
    if (nul != std::string_view::npos)
        text_ = text_.substr(0, nul);
}

bool GameTokens::isBlank(size_t at) const
{
    // Compared as signed characters, bytes from 0x80 up are below ' '.
    return static_cast<signed char>(text_[at]) <= ' ';
}

void GameTokens::SkipByte()
{
    if (at_ < text_.size()) {
        if (text_[at_] == '\n')
            ++linesBefore_;
        ++at_;
    }
}

void GameTokens::skipBlanksAndComments()
{
    for (;;) {
        while (at_ < text_.size() && isBlank(at_))
            SkipByte();
        if (at_ + 1 >= text_.size() || text_[at_] != '/')
            return;
        if (text_[at_ + 1] == '/') {
            while (at_ < text_.size() && text_[at_] != '\n')
                SkipByte();
        } else if (text_[at_ + 1] == '*') {
            SkipByte();
            SkipByte();
            while (at_ < text_.size() && !(text_[at_] == '*' && at_ + 1 < text_.size() && text_[at_ + 1] == '/'))
                SkipByte();
            SkipByte();
            SkipByte();
        } else {
            return;
        }
    }
}

std::string GameTokens::Next()
{
    skipBlanksAndComments();
    line_ = linesBefore_;
    std::string token;
    if (at_ >= text_.size())
        return token;
    const auto keep = [&](char c) {
        if (token.size() < kMostTokenBytes)
            token += c;
    };
    if (text_[at_] == '"') {
        SkipByte();
        while (at_ < text_.size() && text_[at_] != '"') {
            keep(text_[at_]);
            SkipByte();
        }
        SkipByte(); // the closing quote
        return token;
    }
    do {
        keep(text_[at_]);
        SkipByte();
    } while (at_ < text_.size() && !isBlank(at_) &&
             !(words_ == Words::EndAtBlankOrComma && text_[at_] == ','));
    return token;
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
