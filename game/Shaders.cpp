// Shader scripts: the block structure of their token stream (GameTokens.h),
// the table's override rule and what a surface takes from a definition.
#include "Shaders.h"

#include "GameTokens.h"

#include "platform/system/System.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace {

using platform::SameText;

std::string lowerCased(std::string_view text) { return platform::LowerCase(std::string(text)); }

bool isBrace(const GameToken& token, char brace)
{
    return !token.quoted && token.text.size() == 1 && token.text[0] == brace;
}

// Reads the definitions of one file in order, up to its first problem.
class ScriptReader {
public:
    ScriptReader(const std::string& fileName, std::string_view text)
        : fileName_(fileName), tokens_(text, GameTokens::Words::EndAtBlank, kShaderScriptTokens)
    {
    }

    // Every complete definition before the first problem, which goes to
    // problem.
    std::vector<ShaderDefinition> read(std::optional<ShaderProblem>& problem)
    {
        std::vector<ShaderDefinition> definitions;
        while (!problem) {
            const std::optional<GameToken> name = tokens_.NextToken();
            if (!name)
                break;
            if (std::optional<ShaderDefinition> definition = readDefinition(*name, problem))
                definitions.push_back(std::move(*definition));
        }
        return definitions;
    }

private:
    // The definition that starts with name, or nothing after a problem.
    std::optional<ShaderDefinition> readDefinition(const GameToken& name, std::optional<ShaderProblem>& problem)
    {
        if (isBrace(name, '{'))
            return fail(problem, name.line, "'{' where a shader name belongs");
        if (isBrace(name, '}'))
            return fail(problem, name.line, "'}' without a shader");
        if (name.text.empty())
            return fail(problem, name.line, "a shader with an empty name");
        const std::optional<GameToken> open = tokens_.NextToken();
        if (!open)
            return fail(problem, name.line, "'" + name.text + "' is followed by no '{'");
        if (!isBrace(*open, '{'))
            return fail(problem, open->line, "'" + open->text + "' where the '{' after '" + name.text + "' belongs");
        ShaderDefinition definition;
        definition.name = NormalShaderName(name.text);
        definition.fileName = fileName_;
        definition.line = name.line;
        definition.textBegin = name.begin;
        if (!readBody(definition))
            return fail(problem, name.line, "shader '" + name.text + "' is not closed before the end of the file");
        return definition;
    }

    std::nullopt_t fail(std::optional<ShaderProblem>& problem, size_t line, const std::string& what) const
    {
        problem = ShaderProblem{fileName_, line, fileName_ + ", line " + std::to_string(line) + ": " + what};
        return std::nullopt;
    }

    // Reads the block after a shader's "{" up to its "}"; false when the text
    // ends first. Depth 1 is the shader, 2 a stage; deeper blocks are read
    // only to find their end.
    bool readBody(ShaderDefinition& definition)
    {
        size_t depth = 1;
        ShaderLine line;
        auto finishLine = [&] {
            if (line.empty())
                return;
            line[0] = lowerCased(line[0]);
            if (depth == 1)
                definition.lines.push_back(std::move(line));
            else if (depth == 2)
                definition.stages.back().lines.push_back(std::move(line));
            line.clear();
        };
        while (std::optional<GameToken> token = tokens_.NextToken()) {
            if (token->startsLine)
                finishLine();
            if (isBrace(*token, '{')) {
                finishLine();
                if (++depth == 2) {
                    definition.stages.emplace_back();
                    definition.stages.back().afterLines = definition.lines.size();
                }
            } else if (isBrace(*token, '}')) {
                finishLine();
                if (--depth == 0) {
                    definition.textEnd = token->end;
                    return true;
                }
            } else {
                line.push_back(std::move(token->text));
            }
        }
        return false;
    }

    const std::string& fileName_;
    GameTokens tokens_;
};

} // namespace

std::string_view DefinitionText(const ShaderDefinition& definition, std::string_view text)
{
    if (definition.textBegin >= definition.textEnd || definition.textEnd > text.size())
        return {};
    return text.substr(definition.textBegin, definition.textEnd - definition.textBegin);
}

std::string NormalShaderName(std::string_view name)
{
    // The game compares shader names ignoring letter case only: "a\\b" and
    // "a/b" are two names.
    return lowerCased(name);
}

void ShaderTable::AddFile(const std::string& fileName, std::string_view text, std::vector<ShaderProblem>& problems)
{
    std::optional<ShaderProblem> problem;
    std::vector<ShaderDefinition> definitions = ScriptReader(fileName, text).read(problem);
    // The game reads a file only when every shader of it is braced right:
    // one problem drops the whole file, the shaders before it too.
    if (problem) {
        problem->message += "; the game ignores this whole file";
        problems.push_back(std::move(*problem));
        return;
    }
    for (ShaderDefinition& definition : definitions)
        add(std::move(definition));
}

void ShaderTable::add(ShaderDefinition definition)
{
    const auto at = definitions_.find(definition.name);
    if (at == definitions_.end()) {
        definitions_.emplace(definition.name, std::move(definition));
        return;
    }
    ShaderDefinition& held = at->second;
    // A repeat within one file loses to the first; a definition of a file
    // added later wins over every one before it.
    if (held.fileName == definition.fileName) {
        held.overrides.push_back({definition.fileName, definition.line});
        return;
    }
    definition.overrides = std::move(held.overrides);
    definition.overrides.push_back({held.fileName, held.line});
    held = std::move(definition);
}

const ShaderDefinition* ShaderTable::Find(std::string_view name) const
{
    std::string key = NormalShaderName(name);
    auto at = definitions_.find(key);
    if (at == definitions_.end()) {
        const size_t dot = key.rfind('.');
        const size_t slash = key.rfind('/');
        if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
            key.erase(dot);
            at = definitions_.find(key);
        }
    }
    return at == definitions_.end() ? nullptr : &at->second;
}
