// Shader scripts: the tokenizer, the block structure, the table's override
// rule and what a surface takes from a definition.
#include "Shaders.h"

#include "platform/system/System.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace {

using platform::SameText;

std::string lowerCased(std::string_view text) { return platform::LowerCase(std::string(text)); }

// File name order as the game root's listings give it: ignoring letter case.
bool laterFile(std::string_view a, std::string_view b) { return lowerCased(b) < lowerCased(a); }

struct Token {
    std::string text;
    size_t line = 0;
    bool startsLine = false; // a line end lies between this token and the one before
    bool quoted = false; // a quoted "{" is a name, not a brace
};

bool isBrace(const Token& token, char brace) { return !token.quoted && token.text.size() == 1 && token.text[0] == brace; }

// Splits script text into tokens. Every byte up to the space is a separator,
// so control characters and NULs in a damaged file only separate tokens.
class Tokenizer {
public:
    explicit Tokenizer(std::string_view text) : text_(text) {}

    // The next token, or nothing at the end of the text.
    std::optional<Token> next()
    {
        bool lineEnded = false;
        if (!skipSeparators(lineEnded))
            return std::nullopt;
        Token token;
        token.line = line_;
        token.startsLine = lineEnded || !anyToken_;
        anyToken_ = true;
        if (text_[at_] == '"') {
            // A quote runs to the next quote; a line end first ends it too,
            // so that a lost quote cannot swallow the rest of the file.
            token.quoted = true;
            ++at_;
            while (at_ < text_.size() && text_[at_] != '"' && !isLineEnd(text_[at_]))
                token.text += text_[at_++];
            if (at_ < text_.size() && text_[at_] == '"')
                ++at_;
            return token;
        }
        // Within a token "//" is no comment: paths like "textures//a.tga"
        // keep their slashes, as the game reads them.
        while (at_ < text_.size() && !isSeparator(text_[at_]))
            token.text += text_[at_++];
        return token;
    }

private:
    static bool isSeparator(char c) { return static_cast<unsigned char>(c) <= ' '; }
    static bool isLineEnd(char c) { return c == '\n' || c == '\r'; }

    // Steps over the line end at at_ (CR LF counts once) and counts it.
    void passLineEnd()
    {
        if (text_[at_] == '\r' && at_ + 1 < text_.size() && text_[at_ + 1] == '\n')
            ++at_;
        ++at_;
        ++line_;
    }

    // Skips separators and comments; false at the end of the text. A line
    // end inside a block comment ends the keyword line like any other.
    bool skipSeparators(bool& lineEnded)
    {
        while (at_ < text_.size()) {
            const char c = text_[at_];
            if (isLineEnd(c)) {
                passLineEnd();
                lineEnded = true;
            } else if (isSeparator(c)) {
                ++at_;
            } else if (text_.substr(at_, 2) == "//") {
                while (at_ < text_.size() && !isLineEnd(text_[at_]))
                    ++at_;
            } else if (text_.substr(at_, 2) == "/*") {
                at_ += 2;
                while (at_ < text_.size() && text_.substr(at_, 2) != "*/") {
                    if (isLineEnd(text_[at_])) {
                        passLineEnd();
                        lineEnded = true;
                    } else {
                        ++at_;
                    }
                }
                at_ = std::min(at_ + 2, text_.size());
            } else {
                return true;
            }
        }
        return false;
    }

    std::string_view text_;
    size_t at_ = 0;
    size_t line_ = 1;
    bool anyToken_ = false;
};

// Reads the definitions of one file in order, up to its first problem.
class ScriptReader {
public:
    ScriptReader(const std::string& fileName, std::string_view text) : fileName_(fileName), tokens_(text) {}

    // Every complete definition before the first problem, which goes to
    // problem.
    std::vector<ShaderDefinition> read(std::optional<ShaderProblem>& problem)
    {
        std::vector<ShaderDefinition> definitions;
        while (!problem) {
            const std::optional<Token> name = tokens_.next();
            if (!name)
                break;
            if (std::optional<ShaderDefinition> definition = readDefinition(*name, problem))
                definitions.push_back(std::move(*definition));
        }
        return definitions;
    }

private:
    // The definition that starts with name, or nothing after a problem.
    std::optional<ShaderDefinition> readDefinition(const Token& name, std::optional<ShaderProblem>& problem)
    {
        if (isBrace(name, '{'))
            return fail(problem, name.line, "'{' where a shader name belongs");
        if (isBrace(name, '}'))
            return fail(problem, name.line, "'}' without a shader");
        if (name.text.empty())
            return fail(problem, name.line, "a shader with an empty name");
        const std::optional<Token> open = tokens_.next();
        if (!open)
            return fail(problem, name.line, "'" + name.text + "' is followed by no '{'");
        if (!isBrace(*open, '{'))
            return fail(problem, open->line, "'" + open->text + "' where the '{' after '" + name.text + "' belongs");
        ShaderDefinition definition;
        definition.name = NormalShaderName(name.text);
        definition.fileName = fileName_;
        definition.line = name.line;
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
        while (std::optional<Token> token = tokens_.next()) {
            if (token->startsLine)
                finishLine();
            if (isBrace(*token, '{')) {
                finishLine();
                if (++depth == 2)
                    definition.stages.emplace_back();
            } else if (isBrace(*token, '}')) {
                finishLine();
                if (--depth == 0)
                    return true;
            } else {
                line.push_back(std::move(token->text));
            }
        }
        return false;
    }

    const std::string& fileName_;
    Tokenizer tokens_;
};

// The lines of lines whose keyword is keyword.
template <class Visit> void forEachLine(const std::vector<ShaderLine>& lines, std::string_view keyword, Visit visit)
{
    for (const ShaderLine& line : lines) {
        if (line[0] == keyword)
            visit(line);
    }
}

// The image a stage's map line names, or nothing for a line that names none.
std::optional<std::string> imageOf(const ShaderLine& line)
{
    // animMap FREQUENCY IMAGE1 IMAGE2 ...: the first image stands for all.
    const size_t imageIndex = line[0] == "animmap" ? 2 : 1;
    if ((line[0] != "map" && line[0] != "clampmap" && line[0] != "animmap") || line.size() <= imageIndex ||
        line[imageIndex].empty())
        return std::nullopt;
    std::string image = line[imageIndex];
    std::replace(image.begin(), image.end(), '\\', '/');
    return image;
}

struct BlendFactor {
    std::string_view name;
    GLenum factor;
    bool source; // valid as glBlendFunc's first argument in GL 1.1
    bool destination; // valid as its second
};

constexpr BlendFactor kBlendFactors[] = {
    {"gl_zero", GL_ZERO, true, true},
    {"gl_one", GL_ONE, true, true},
    {"gl_src_color", GL_SRC_COLOR, false, true},
    {"gl_one_minus_src_color", GL_ONE_MINUS_SRC_COLOR, false, true},
    {"gl_dst_color", GL_DST_COLOR, true, false},
    {"gl_one_minus_dst_color", GL_ONE_MINUS_DST_COLOR, true, false},
    {"gl_src_alpha", GL_SRC_ALPHA, true, true},
    {"gl_one_minus_src_alpha", GL_ONE_MINUS_SRC_ALPHA, true, true},
    {"gl_dst_alpha", GL_DST_ALPHA, true, true},
    {"gl_one_minus_dst_alpha", GL_ONE_MINUS_DST_ALPHA, true, true},
    {"gl_src_alpha_saturate", GL_SRC_ALPHA_SATURATE, true, false},
};

std::optional<GLenum> blendFactor(std::string_view name, bool source)
{
    for (const BlendFactor& known : kBlendFactors) {
        if (SameText(name, known.name) && (source ? known.source : known.destination))
            return known.factor;
    }
    return std::nullopt;
}

// Applies a blendFunc line. A factor GL 1.1 does not take in its place
// turns blending off rather than handing glBlendFunc an invalid enum.
void applyBlendFunc(const ShaderLine& line, SurfaceLook& look)
{
    look.blend = false;
    look.blendSrc = GL_ONE;
    look.blendDst = GL_ZERO;
    std::optional<GLenum> src, dst;
    if (line.size() == 2 && SameText(line[1], "add")) {
        src = GL_ONE, dst = GL_ONE;
    } else if (line.size() == 2 && SameText(line[1], "filter")) {
        src = GL_DST_COLOR, dst = GL_ZERO;
    } else if (line.size() == 2 && SameText(line[1], "blend")) {
        src = GL_SRC_ALPHA, dst = GL_ONE_MINUS_SRC_ALPHA;
    } else if (line.size() >= 3) {
        src = blendFactor(line[1], true);
        dst = blendFactor(line[2], false);
    }
    // GL_ONE, GL_ZERO replaces the colour: that is drawing without blending.
    if (!src || !dst || (*src == GL_ONE && *dst == GL_ZERO))
        return;
    look.blend = true;
    look.blendSrc = *src;
    look.blendDst = *dst;
}

constexpr GLfloat kHalfAlpha = 0.5f; // 128 of 255, as the game's alpha tests put it

void applyAlphaFunc(const ShaderLine& line, SurfaceLook& look)
{
    look.alphaFunc = GL_ALWAYS;
    look.alphaRef = 0.0f;
    if (line.size() < 2)
        return;
    if (SameText(line[1], "gt0"))
        look.alphaFunc = GL_GREATER;
    else if (SameText(line[1], "lt128"))
        look.alphaFunc = GL_LESS, look.alphaRef = kHalfAlpha;
    else if (SameText(line[1], "ge128"))
        look.alphaFunc = GL_GEQUAL, look.alphaRef = kHalfAlpha;
}

// The image stage's part of the look, or false when the stage gives no image.
bool applyStage(const ShaderStage& stage, SurfaceLook& look)
{
    std::optional<std::string> image;
    for (const ShaderLine& line : stage.lines) {
        if (!image)
            image = imageOf(line);
    }
    // A lightmap is the level's lighting; a character has none.
    if (!image || SameText(*image, "$lightmap"))
        return false;
    if (SameText(*image, "$whiteimage") || SameText(*image, "*white"))
        look.white = true;
    else
        look.image = std::move(*image);
    // Later lines override earlier ones, as each line sets the stage's state.
    forEachLine(stage.lines, "blendfunc", [&](const ShaderLine& line) { applyBlendFunc(line, look); });
    forEachLine(stage.lines, "alphafunc", [&](const ShaderLine& line) { applyAlphaFunc(line, look); });
    return true;
}

} // namespace

std::string NormalShaderName(std::string_view name)
{
    std::string result = lowerCased(name);
    std::replace(result.begin(), result.end(), '\\', '/');
    return result;
}

void ShaderTable::AddFile(const std::string& fileName, std::string_view text, std::vector<ShaderProblem>& problems)
{
    std::optional<ShaderProblem> problem;
    for (ShaderDefinition& definition : ScriptReader(fileName, text).read(problem))
        add(std::move(definition));
    if (problem)
        problems.push_back(std::move(*problem));
}

void ShaderTable::add(ShaderDefinition definition)
{
    const auto at = definitions_.find(definition.name);
    if (at == definitions_.end())
        definitions_.emplace(definition.name, std::move(definition));
    // A repeat within one file, or a definition from a file earlier in name
    // order, loses to the one already here.
    else if (laterFile(definition.fileName, at->second.fileName))
        at->second = std::move(definition);
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

SurfaceLook LookOf(const ShaderDefinition& definition)
{
    SurfaceLook look;
    bool noDraw = false;
    forEachLine(definition.lines, "surfaceparm", [&](const ShaderLine& line) {
        noDraw = noDraw || (line.size() >= 2 && SameText(line[1], "nodraw"));
    });
    bool hasImage = false;
    for (size_t i = 0; i < definition.stages.size() && !hasImage; ++i)
        hasImage = applyStage(definition.stages[i], look);
    if (noDraw || !hasImage) {
        SurfaceLook nothing;
        nothing.noDraw = true;
        return nothing;
    }
    forEachLine(definition.lines, "cull", [&](const ShaderLine& line) {
        look.twoSided = line.size() >= 2 && (SameText(line[1], "none") ||
                                             SameText(line[1], "disable") ||
                                             SameText(line[1], "twosided"));
    });
    return look;
}
