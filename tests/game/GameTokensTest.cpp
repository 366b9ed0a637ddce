// The one token stream: where animation and skin files (the game's own
// reading) and shader scripts (read so that damage stays local) are cut
// apart.
#include "game/GameTokens.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// "TEXT:LINE" of every token, blank-separated.
std::string cut(const std::string& text, const TokenRules& rules)
{
    GameTokens tokens(text, GameTokens::Words::EndAtBlank, rules);
    std::string out;
    while (const std::optional<GameToken> token = tokens.NextToken())
        out += (out.empty() ? "" : " ") + token->text + ":" + std::to_string(token->line);
    return out;
}

TEST(GameTokens, EachFormatCutsByItsRules)
{
    struct Case {
        const char* what;
        std::string text;
        const char* gameFile;
        const char* shaderScript;
    };
    const Case cases[] = {
        {"a NUL byte", std::string("a\0b c", 5), "a:1", "a:1 b:1 c:1"},
        {"bytes from 0x80 up", "x\xC3\xA9y", "x:1 y:1", "x\xC3\xA9y:1"},
        {"a lone CR", "a\rb\r\nc", "a:1 b:1 c:2", "a:1 b:2 c:3"},
        {"a quote over a line end", "\"q\nr\" s", "q\nr:1 s:2", "q:1 r\":2 s:2"},
        {"a comment up to a lone CR", "// c\rd\ne", "e:2", "d:2 e:3"},
        {"comments and quotes alike", "/* a\n*/b//c\n\"d e\"/**/", "b//c:2 d e:3", "b//c:2 d e:3"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(cut(c.text, kGameFileTokens), c.gameFile) << c.what;
        EXPECT_EQ(cut(c.text, kShaderScriptTokens), c.shaderScript) << c.what;
    }
    const std::string longWord(kMostTokenBytes + 10, 'w');
    EXPECT_EQ(GameTokens(longWord, GameTokens::Words::EndAtBlank).Next().size(), kMostTokenBytes);
    EXPECT_EQ(GameTokens(longWord, GameTokens::Words::EndAtBlank, kShaderScriptTokens).Next(), longWord);
}

} // namespace
