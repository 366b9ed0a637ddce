// Compiling shader script definitions into what the game draws.
#include "GameShader.h"

#include "platform/system/System.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>

namespace {

using platform::SameText;

// The tokens of a definition's keyword lines as one stream, as the game reads
// a script: a keyword may take its values only from its own line; whatever is
// left on a line is read as the next keyword.
class LineTokens {
public:
    explicit LineTokens(const std::vector<ShaderLine>& lines) : lines_(lines) {}

    // The next token wherever it is; nothing at the end.
    std::optional<std::string> next()
    {
        while (line_ < lines_.size() && at_ >= lines_[line_].size()) {
            ++line_;
            at_ = 0;
        }
        if (line_ >= lines_.size())
            return std::nullopt;
        return lines_[line_][at_++];
    }

    // The next token of the current line, or "" when the line has no more.
    std::string onLine()
    {
        if (line_ >= lines_.size() || at_ >= lines_[line_].size())
            return {};
        return lines_[line_][at_++];
    }

    // The next token that starts on line or later in it, while the stream
    // has not passed line; nothing once it has.
    std::optional<std::string> nextOnLine(size_t line)
    {
        while (line_ < lines_.size() && at_ >= lines_[line_].size() && line_ < line) {
            ++line_;
            at_ = 0;
        }
        if (line_ != line || at_ >= lines_[line_].size())
            return std::nullopt;
        return lines_[line_][at_++];
    }

    void skipLine()
    {
        if (line_ < lines_.size())
            at_ = lines_[line_].size();
    }

private:
    const std::vector<ShaderLine>& lines_;
    size_t line_ = 0;
    size_t at_ = 0;
};

// A number as the C library's atof reads it: the longest number at the start,
// 0 when there is none.
float numberOf(const std::string& text) { return static_cast<float>(std::atof(text.c_str())); }

WaveForm waveFormOf(const std::string& name)
{
    constexpr std::pair<const char*, WaveForm> kForms[] = {
        {"sin", WaveForm::Sin},           {"square", WaveForm::Square},
        {"triangle", WaveForm::Triangle}, {"sawtooth", WaveForm::Sawtooth},
        {"inversesawtooth", WaveForm::InverseSawtooth}, {"noise", WaveForm::Noise},
    };
    for (const auto& [text, form] : kForms) {
        if (SameText(name, text))
            return form;
    }
    return WaveForm::Sin; // the game's choice for a name it does not know
}

// "FORM BASE AMPLITUDE PHASE FREQUENCY" on the rest of the line; values the
// line lacks keep their defaults, as in the game.
Wave readWave(LineTokens& tokens)
{
    Wave wave;
    std::string token = tokens.onLine();
    if (token.empty())
        return wave;
    wave.form = waveFormOf(token);
    float* fields[] = {&wave.base, &wave.amplitude, &wave.phase, &wave.frequency};
    for (float* field : fields) {
        token = tokens.onLine();
        if (token.empty())
            return wave;
        *field = numberOf(token);
    }
    return wave;
}

// "( A B C )" on the rest of the line; false when it is not there.
bool readVector(LineTokens& tokens, float (&values)[3])
{
    if (tokens.onLine() != "(")
        return false;
    for (float& value : values) {
        const std::string token = tokens.onLine();
        if (token.empty())
            return false;
        value = numberOf(token);
    }
    return tokens.onLine() == ")";
}

uint8_t byteOf(float unit) { return static_cast<uint8_t>(std::clamp(255.0f * unit, 0.0f, 255.0f)); }

struct BlendName {
    const char* name;
    GLenum factor;
};

constexpr BlendName kSourceFactors[] = {
    {"gl_one", GL_ONE},
    {"gl_zero", GL_ZERO},
    {"gl_dst_color", GL_DST_COLOR},
    {"gl_one_minus_dst_color", GL_ONE_MINUS_DST_COLOR},
    {"gl_src_alpha", GL_SRC_ALPHA},
    {"gl_one_minus_src_alpha", GL_ONE_MINUS_SRC_ALPHA},
    {"gl_dst_alpha", GL_DST_ALPHA},
    {"gl_one_minus_dst_alpha", GL_ONE_MINUS_DST_ALPHA},
    {"gl_src_alpha_saturate", GL_SRC_ALPHA_SATURATE},
};
constexpr BlendName kDestinationFactors[] = {
    {"gl_one", GL_ONE},
    {"gl_zero", GL_ZERO},
    {"gl_src_alpha", GL_SRC_ALPHA},
    {"gl_one_minus_src_alpha", GL_ONE_MINUS_SRC_ALPHA},
    {"gl_dst_alpha", GL_DST_ALPHA},
    {"gl_one_minus_dst_alpha", GL_ONE_MINUS_DST_ALPHA},
    {"gl_src_color", GL_SRC_COLOR},
    {"gl_one_minus_src_color", GL_ONE_MINUS_SRC_COLOR},
};

// A factor by name; the game substitutes GL_ONE for a name it does not know.
template <size_t N> GLenum factorOf(const BlendName (&names)[N], const std::string& name)
{
    for (const BlendName& known : names) {
        if (SameText(name, known.name))
            return known.factor;
    }
    return GL_ONE;
}

class Compiler {
public:
    Compiler(const ShaderDefinition& definition, ImageLoadsFunction imageLoads, const void* context)
        : definition_(definition), imageLoads_(imageLoads), context_(context)
    {
        shader_.name = definition.name;
        shader_.fromScript = true;
    }

    GameShader compile()
    {
        if (!readShader())
            shader_.defaulted = true;
        finish();
        return std::move(shader_);
    }

private:
    void note(const std::string& text) { shader_.notes.push_back(text); }

    // The shader's own keywords and its stages, in the order they were
    // written; false where the game gives up on the shader.
    bool readShader()
    {
        // The shader's keywords and stages in the order they were written: a
        // problem ends the reading, and the stages before it are kept.
        LineTokens tokens(definition_.lines);
        size_t linesRead = 0;
        for (const ShaderStage& block : definition_.stages) {
            if (!readKeywords(tokens, linesRead, block.afterLines))
                return false;
            if (shader_.stages.size() >= kMaxStages)
                return reject("more than " + std::to_string(kMaxStages) + " stages");
            // A stage the game could not read to its end stays among the
            // shader's stages with what it read (drawn when it has its image).
            shader_.stages.emplace_back();
            if (!readStage(block, shader_.stages.back()))
                return false;
        }
        if (!readKeywords(tokens, linesRead, definition_.lines.size()))
            return false;
        if (shader_.stages.empty() && !sky_)
            return reject(kNoStagesNote);
        return true;
    }

    // The shader's own keywords up to its line untilLine.
    bool readKeywords(LineTokens& tokens, size_t& linesRead, size_t untilLine)
    {
        for (; linesRead < untilLine; ++linesRead) {
            for (std::optional<std::string> token = tokens.nextOnLine(linesRead); token;
                 token = tokens.nextOnLine(linesRead)) {
                if (!shaderKeyword(*token, tokens))
                    return false;
            }
        }
        return true;
    }

    bool shaderKeyword(const std::string& keyword, LineTokens& tokens)
    {
        if (keyword.size() >= 3 && SameText(keyword.substr(0, 3), "qer")) {
            tokens.skipLine();
        } else if (SameText(keyword, "q3map_sun") || SameText(keyword, "q3map_sunext") ||
                   (keyword.size() >= 5 && SameText(keyword.substr(0, 5), "q3map")) || SameText(keyword, "tesssize")) {
            // The sun of a level: a character scene has none.
            tokens.skipLine();
        } else if (SameText(keyword, "deformvertexes")) {
            readDeform(tokens);
        } else if (SameText(keyword, "clamptime")) {
            tokens.onLine();
        } else if (SameText(keyword, "surfaceparm") || SameText(keyword, "light")) {
            // Flags for the level compiler and the game's physics; a model is
            // drawn whatever they say ("nodraw" included).
            tokens.onLine();
        } else if (SameText(keyword, "nomipmaps") || SameText(keyword, "nopicmip") ||
                   SameText(keyword, "entitymergable")) {
        } else if (SameText(keyword, "polygonoffset")) {
            shader_.polygonOffset = true;
        } else if (SameText(keyword, "fogparms")) {
            float color[3];
            if (!readVector(tokens, color))
                return reject("fogParms without its colour");
            tokens.skipLine();
        } else if (SameText(keyword, "portal")) {
            sort_ = ShaderSort::Portal;
        } else if (SameText(keyword, "skyparms")) {
            // A sky shader draws a sky box around a level, not a model.
            sky_ = true;
            tokens.skipLine();
        } else if (SameText(keyword, "cull")) {
            readCull(tokens);
        } else if (SameText(keyword, "sort")) {
            readSort(tokens);
        } else {
            return reject("unknown keyword '" + keyword + "'");
        }
        return true;
    }

    bool reject(const std::string& text)
    {
        note(text);
        return false;
    }

    void readCull(LineTokens& tokens)
    {
        const std::string face = tokens.onLine();
        if (face.empty())
            return;
        if (SameText(face, "none") || SameText(face, "twosided") || SameText(face, "disable"))
            shader_.cull = CullFace::None;
        else if (SameText(face, "back") || SameText(face, "backside") || SameText(face, "backsided"))
            shader_.cull = CullFace::Back;
        else
            note("cull '" + face + "' is no face the game knows; it culls as by default");
    }

    void readSort(LineTokens& tokens)
    {
        const std::string value = tokens.onLine();
        if (value.empty())
            return;
        constexpr std::pair<const char*, float> kNamed[] = {
            {"portal", ShaderSort::Portal},     {"sky", ShaderSort::Sky},
            {"opaque", ShaderSort::Opaque},     {"decal", ShaderSort::Decal},
            {"seethrough", ShaderSort::SeeThrough}, {"banner", ShaderSort::Banner},
            {"additive", ShaderSort::Additive}, {"nearest", ShaderSort::Nearest},
            {"underwater", ShaderSort::Underwater},
        };
        for (const auto& [name, sort] : kNamed) {
            if (SameText(value, name)) {
                sort_ = sort;
                return;
            }
        }
        sort_ = numberOf(value);
    }

    void readDeform(LineTokens& tokens)
    {
        const std::string kind = tokens.onLine();
        if (kind.empty())
            return;
        if (shader_.deforms.size() >= kMaxDeforms) {
            note("more than " + std::to_string(kMaxDeforms) + " deformVertexes; the game ignores the rest");
            return;
        }
        Deform deform;
        if (SameText(kind, "wave")) {
            const std::string divisor = tokens.onLine();
            if (divisor.empty())
                return;
            deform.kind = Deform::Kind::Wave;
            deform.spread = numberOf(divisor) != 0 ? 1.0f / numberOf(divisor) : 100.0f;
            deform.wave = readWave(tokens);
        } else if (SameText(kind, "normal")) {
            // Amplitude first, then frequency.
            const std::string amplitude = tokens.onLine();
            const std::string frequency = amplitude.empty() ? std::string() : tokens.onLine();
            if (frequency.empty())
                return;
            deform.kind = Deform::Kind::Normal;
            deform.wave.amplitude = numberOf(amplitude);
            deform.wave.frequency = numberOf(frequency);
        } else if (SameText(kind, "bulge")) {
            for (float& value : deform.bulge) {
                const std::string token = tokens.onLine();
                if (token.empty())
                    return;
                value = numberOf(token);
            }
            deform.kind = Deform::Kind::Bulge;
        } else if (SameText(kind, "move")) {
            for (float& value : deform.move) {
                const std::string token = tokens.onLine();
                if (token.empty())
                    return;
                value = numberOf(token);
            }
            deform.kind = Deform::Kind::Move;
            deform.wave = readWave(tokens);
        } else {
            // autosprite, autosprite2, projectionShadow, text0 ... text7 are
            // for sprites and level surfaces; other names the game ignores.
            note("deformVertexes " + kind + " is not drawn here");
            return;
        }
        if (deform.kind != Deform::Kind::Normal && deform.kind != Deform::Kind::Bulge &&
            deform.wave.form == WaveForm::Noise) {
            note("deformVertexes " + kind + " with a noise wave stops the game; drawn without the deform");
            return;
        }
        shader_.deforms.push_back(deform);
    }

    // A stage's image; false when it is not there (the game gives up on the
    // shader). Only "map" knows the names $whiteimage and $lightmap; every
    // image line knows the white image by its own name, *white.
    bool stageImage(const std::string& name, GameStage& stage, bool mapLine)
    {
        ShaderStageImage image;
        std::string path = name;
        std::replace(path.begin(), path.end(), '\\', '/');
        if ((mapLine && SameText(path, "$whiteimage")) || SameText(path, "*white")) {
            image.kind = StageImageKind::White;
        } else if (mapLine && SameText(path, "$lightmap")) {
            // A model has no lightmap: the game puts white in its place.
            image.kind = StageImageKind::Lightmap;
        } else if (!imageLoads_(context_, path, stage.clamp)) {
            return reject("stage image '" + path + "' is not there");
        } else {
            image.name = path;
        }
        stage.images.push_back(std::move(image));
        return true;
    }

    struct StageState {
        bool blendGiven = false;
        GLenum src = GL_ONE, dst = GL_ZERO;
        bool depthWriteExplicit = false;
        bool rgbGiven = false;
        bool texGenGiven = false;
    };

    bool readStage(const ShaderStage& block, GameStage& stage)
    {
        LineTokens tokens(block.lines);
        StageState state;
        // Until the stage has been read to its end, it draws as the game
        // draws a stage cut short: no blending, no depth writes.
        stage.depthWrite = false;
        for (std::optional<std::string> token = tokens.next(); token; token = tokens.next()) {
            if (!stageKeyword(*token, tokens, stage, state))
                return false;
        }
        finishStage(stage, state);
        return true;
    }

    bool stageKeyword(const std::string& keyword, LineTokens& tokens, GameStage& stage, StageState& state)
    {
        if (SameText(keyword, "map") || SameText(keyword, "clampmap")) {
            const std::string name = tokens.onLine();
            if (name.empty())
                return reject(keyword + " without an image");
            stage.images.clear();
            stage.clamp = SameText(keyword, "clampmap");
            return stageImage(name, stage, !stage.clamp);
        }
        if (SameText(keyword, "animmap")) {
            const std::string frequency = tokens.onLine();
            if (frequency.empty())
                return reject("animMap without a frequency");
            stage.images.clear();
            stage.animationFrequency = numberOf(frequency);
            size_t total = 0;
            for (std::string name = tokens.onLine(); !name.empty(); name = tokens.onLine(), ++total) {
                if (total < kMaxAnimationImages && !stageImage(name, stage, false))
                    return false;
            }
            if (total > kMaxAnimationImages)
                note("animMap of " + std::to_string(total) + " images; the game cycles through the first " +
                     std::to_string(kMaxAnimationImages));
            return true;
        }
        if (SameText(keyword, "videomap")) {
            if (tokens.onLine().empty())
                return reject("videoMap without a file");
            note("videoMap is not played here");
            return true;
        }
        if (SameText(keyword, "alphafunc"))
            return readAlphaFunc(tokens, stage);
        if (SameText(keyword, "depthfunc")) {
            const std::string func = tokens.onLine();
            if (func.empty())
                return reject("depthFunc without a function");
            if (SameText(func, "lequal") || SameText(func, "equal"))
                stage.depthEqual = SameText(func, "equal");
            return true;
        }
        if (SameText(keyword, "detail"))
            return true;
        if (SameText(keyword, "blendfunc")) {
            readBlendFunc(tokens, state);
            return true;
        }
        if (SameText(keyword, "rgbgen")) {
            readRgbGen(tokens, stage, state);
            return true;
        }
        if (SameText(keyword, "alphagen")) {
            readAlphaGen(tokens, stage);
            return true;
        }
        if (SameText(keyword, "tcgen") || SameText(keyword, "texgen")) {
            state.texGenGiven = readTexGen(tokens, stage) || state.texGenGiven;
            return true;
        }
        if (SameText(keyword, "tcmod"))
            return readTexMod(tokens, stage);
        if (SameText(keyword, "depthwrite")) {
            state.depthWriteExplicit = true;
            return true;
        }
        return reject("unknown stage keyword '" + keyword + "'");
    }

    bool readAlphaFunc(LineTokens& tokens, GameStage& stage)
    {
        const std::string func = tokens.onLine();
        if (func.empty())
            return reject("alphaFunc without a function");
        constexpr GLfloat kHalf = 0.5f; // 128 of 255
        stage.alphaFunc = GL_ALWAYS;
        stage.alphaRef = 0;
        if (SameText(func, "gt0"))
            stage.alphaFunc = GL_GREATER;
        else if (SameText(func, "lt128"))
            stage.alphaFunc = GL_LESS, stage.alphaRef = kHalf;
        else if (SameText(func, "ge128"))
            stage.alphaFunc = GL_GEQUAL, stage.alphaRef = kHalf;
        else
            note("alphaFunc '" + func + "' is no function the game knows; no alpha test");
        return true;
    }

    void readBlendFunc(LineTokens& tokens, StageState& state)
    {
        const std::string first = tokens.onLine();
        if (first.empty())
            return;
        if (SameText(first, "add")) {
            state.src = GL_ONE, state.dst = GL_ONE;
        } else if (SameText(first, "filter")) {
            state.src = GL_DST_COLOR, state.dst = GL_ZERO;
        } else if (SameText(first, "blend")) {
            state.src = GL_SRC_ALPHA, state.dst = GL_ONE_MINUS_SRC_ALPHA;
        } else {
            const GLenum src = factorOf(kSourceFactors, first);
            const std::string second = tokens.onLine();
            if (second.empty())
                return;
            state.src = src;
            state.dst = factorOf(kDestinationFactors, second);
        }
        state.blendGiven = true;
    }

    void readRgbGen(LineTokens& tokens, GameStage& stage, StageState& state)
    {
        const std::string kind = tokens.onLine();
        if (kind.empty())
            return;
        if (SameText(kind, "wave")) {
            stage.rgbWave = readWave(tokens);
            stage.rgbGen = RgbGen::Wave;
        } else if (SameText(kind, "const")) {
            float color[3] = {0, 0, 0};
            readVector(tokens, color);
            for (int c = 0; c < 3; ++c)
                stage.constColor[c] = byteOf(color[c]);
            stage.rgbGen = RgbGen::Const;
        } else {
            constexpr std::pair<const char*, RgbGen> kNamed[] = {
                {"identity", RgbGen::Identity},       {"identitylighting", RgbGen::IdentityLighting},
                {"entity", RgbGen::Entity},           {"oneminusentity", RgbGen::OneMinusEntity},
                {"vertex", RgbGen::Vertex},           {"exactvertex", RgbGen::ExactVertex},
                {"lightingdiffuse", RgbGen::LightingDiffuse}, {"oneminusvertex", RgbGen::OneMinusVertex},
            };
            const auto named = std::find_if(std::begin(kNamed), std::end(kNamed),
                                            [&](const auto& entry) { return SameText(kind, entry.first); });
            if (named == std::end(kNamed)) {
                note("rgbGen '" + kind + "' is no colour the game knows");
                return;
            }
            stage.rgbGen = named->second;
            // Vertex colours bring their alpha along, unless the stage has
            // said otherwise before.
            if (stage.rgbGen == RgbGen::Vertex && stage.alphaGen == AlphaGen::Identity)
                stage.alphaGen = AlphaGen::Vertex;
        }
        state.rgbGiven = true;
    }

    void readAlphaGen(LineTokens& tokens, GameStage& stage)
    {
        const std::string kind = tokens.onLine();
        if (kind.empty())
            return;
        if (SameText(kind, "wave")) {
            stage.alphaWave = readWave(tokens);
            stage.alphaGen = AlphaGen::Wave;
            if (stage.alphaWave.form == WaveForm::Noise) {
                note("alphaGen wave noise stops the game; drawn with alpha 1");
                stage.alphaGen = AlphaGen::Identity;
            }
        } else if (SameText(kind, "const")) {
            stage.constColor[3] = byteOf(numberOf(tokens.onLine()));
            stage.alphaGen = AlphaGen::Const;
        } else if (SameText(kind, "portal")) {
            stage.alphaGen = AlphaGen::Portal;
            const std::string range = tokens.onLine();
            stage.portalRange = range.empty() ? 256.0f : numberOf(range);
        } else {
            constexpr std::pair<const char*, AlphaGen> kNamed[] = {
                {"identity", AlphaGen::Identity}, {"entity", AlphaGen::Entity},
                {"oneminusentity", AlphaGen::OneMinusEntity}, {"vertex", AlphaGen::Vertex},
                {"lightingspecular", AlphaGen::LightingSpecular}, {"oneminusvertex", AlphaGen::OneMinusVertex},
            };
            const auto named = std::find_if(std::begin(kNamed), std::end(kNamed),
                                            [&](const auto& entry) { return SameText(kind, entry.first); });
            if (named == std::end(kNamed)) {
                note("alphaGen '" + kind + "' is no alpha the game knows");
                return;
            }
            stage.alphaGen = named->second;
        }
    }

    // True when the line set the stage's generator.
    bool readTexGen(LineTokens& tokens, GameStage& stage)
    {
        const std::string kind = tokens.onLine();
        if (kind.empty())
            return false;
        if (SameText(kind, "environment")) {
            stage.texGen = TexGen::Environment;
        } else if (SameText(kind, "lightmap")) {
            stage.texGen = TexGen::Lightmap;
        } else if (SameText(kind, "texture") || SameText(kind, "base")) {
            stage.texGen = TexGen::Texture;
        } else if (SameText(kind, "vector")) {
            readVector(tokens, stage.texGenVectors[0]);
            readVector(tokens, stage.texGenVectors[1]);
            stage.texGen = TexGen::Vector;
        } else {
            note("tcGen '" + kind + "' is no generator the game knows");
            return false;
        }
        return true;
    }

    bool readTexMod(LineTokens& tokens, GameStage& stage)
    {
        if (stage.texMods.size() >= kMaxTexMods)
            return reject("more than " + std::to_string(kMaxTexMods) + " tcMods in a stage stop the game");
        std::vector<std::string> values;
        for (std::string token = tokens.onLine(); !token.empty(); token = tokens.onLine())
            values.push_back(token);
        TexMod mod;
        const std::string kind = values.empty() ? std::string() : values[0];
        // Values the line lacks leave the tcMod as the game leaves it: it
        // takes a place but does nothing, and ends the stage's tcMods.
        auto read = [&](size_t count, float* into) {
            if (values.size() < count + 1)
                return false;
            for (size_t i = 0; i < count; ++i)
                into[i] = numberOf(values[i + 1]);
            return true;
        };
        auto readWaveValues = [&](size_t first) {
            if (values.size() < first + 4)
                return false;
            mod.wave.base = numberOf(values[first]);
            mod.wave.amplitude = numberOf(values[first + 1]);
            mod.wave.phase = numberOf(values[first + 2]);
            mod.wave.frequency = numberOf(values[first + 3]);
            return true;
        };
        bool complete = false;
        if (SameText(kind, "scroll")) {
            mod.kind = TexMod::Kind::Scroll, complete = read(2, mod.values);
        } else if (SameText(kind, "scale")) {
            mod.kind = TexMod::Kind::Scale, complete = read(2, mod.values);
        } else if (SameText(kind, "rotate")) {
            mod.kind = TexMod::Kind::Rotate, complete = read(1, mod.values);
        } else if (SameText(kind, "transform")) {
            mod.kind = TexMod::Kind::Transform, complete = read(6, mod.values);
        } else if (SameText(kind, "turb")) {
            mod.kind = TexMod::Kind::Turb, complete = readWaveValues(1);
        } else if (SameText(kind, "stretch")) {
            mod.kind = TexMod::Kind::Stretch;
            if (values.size() >= 2)
                mod.wave.form = waveFormOf(values[1]);
            complete = readWaveValues(2);
            if (complete && mod.wave.form == WaveForm::Noise) {
                note("tcMod stretch with a noise wave stops the game; drawn without it");
                complete = false;
            }
        } else if (SameText(kind, "entitytranslate")) {
            mod.kind = TexMod::Kind::EntityTranslate, complete = true;
        } else {
            note("tcMod '" + kind + "' is none the game knows; it ends the stage's tcMods");
        }
        // An incomplete or unknown tcMod takes its place but does nothing,
        // and the game applies none of the stage's tcMods after it.
        if (!complete)
            mod.kind = TexMod::Kind::None;
        stage.texMods.push_back(mod);
        return true;
    }

    void finishStage(GameStage& stage, const StageState& state)
    {
        stage.blend = state.blendGiven;
        stage.blendSrc = state.blendGiven ? state.src : GL_ONE;
        stage.blendDst = state.blendGiven ? state.dst : GL_ZERO;
        stage.depthWrite = !state.blendGiven || state.depthWriteExplicit;
        if (!state.rgbGiven) {
            const bool lightingSource =
                !state.blendGiven || state.src == GL_ONE || state.src == GL_SRC_ALPHA;
            stage.rgbGen = lightingSource ? RgbGen::IdentityLighting : RgbGen::Identity;
        }
        // GL_ONE, GL_ZERO replaces what is there: drawing without blending.
        if (stage.blend && stage.blendSrc == GL_ONE && stage.blendDst == GL_ZERO) {
            stage.blend = false;
            stage.depthWrite = true;
        }
        if (stage.images.empty())
            return;
        if (stage.images.front().kind == StageImageKind::Lightmap && !state.texGenGiven)
            stage.texGen = TexGen::Lightmap;
    }

    void finish()
    {
        // The game counts every stage it read among the shader's passes,
        // but draws none from a stage without an image on.
        const size_t read = shader_.stages.size();
        for (size_t i = 0; i < shader_.stages.size(); ++i) {
            if (shader_.stages[i].images.empty()) {
                if (!shader_.defaulted)
                    note("stage " + std::to_string(i + 1) + " has no image; the game draws no stage from there on");
                shader_.stages.resize(i);
                break;
            }
        }
        const bool folds = markCollapse();
        shader_.listedPasses = static_cast<int>(read) - (folds ? 1 : 0);
        float sort = sort_;
        if (sky_)
            sort = ShaderSort::Sky;
        if (shader_.polygonOffset && sort == 0)
            sort = ShaderSort::Decal;
        if (sort == 0 && !shader_.stages.empty() && shader_.stages.front().blend) {
            // A blended first stage sorts the shader after the opaque ones;
            // one that still writes depth sorts as a see-through grate.
            for (const GameStage& stage : shader_.stages) {
                if (stage.blend) {
                    sort = stage.depthWrite ? ShaderSort::SeeThrough : ShaderSort::Blend0;
                    break;
                }
            }
        }
        if (sort == 0)
            sort = ShaderSort::Opaque;
        if (shader_.stages.empty() && !sky_)
            sort = ShaderSort::Fog;
        shader_.sort = sort;
    }

    // The game draws the first two stages as one pass with two textures
    // where their states and colours allow (true then); see
    // GameStage::sharesPreviousColor.
    bool markCollapse()
    {
        if (shader_.stages.size() < 2)
            return false;
        GameStage& a = shader_.stages[0];
        GameStage& b = shader_.stages[1];
        if (a.alphaFunc != b.alphaFunc || a.alphaRef != b.alphaRef || a.depthEqual != b.depthEqual ||
            a.rgbGen != b.rgbGen || a.alphaGen != b.alphaGen)
            return false;
        auto sameWave = [](const Wave& x, const Wave& y) {
            return x.form == y.form && x.base == y.base && x.amplitude == y.amplitude && x.phase == y.phase &&
                   x.frequency == y.frequency;
        };
        if ((a.rgbGen == RgbGen::Wave && !sameWave(a.rgbWave, b.rgbWave)) ||
            (a.alphaGen == AlphaGen::Wave && !sameWave(a.alphaWave, b.alphaWave)))
            return false;
        // The pairs the game multiplies in one pass: none or a multiplying
        // blend, then a multiplying blend.
        auto multiplies = [](const GameStage& stage) {
            return stage.blend && ((stage.blendSrc == GL_DST_COLOR && stage.blendDst == GL_ZERO) ||
                                   (stage.blendSrc == GL_ZERO && stage.blendDst == GL_SRC_COLOR));
        };
        if ((!a.blend || multiplies(a)) && multiplies(b)) {
            b.sharesPreviousColor = true;
            return true;
        }
        // The pairs it adds in one pass, of colours taken as they are: none
        // or an adding blend, then an adding blend. They look the same drawn
        // in two passes.
        auto adds = [](const GameStage& stage) {
            return stage.blend && stage.blendSrc == GL_ONE && stage.blendDst == GL_ONE;
        };
        return (!a.blend || adds(a)) && adds(b) && a.rgbGen == RgbGen::Identity;
    }

    const ShaderDefinition& definition_;
    ImageLoadsFunction imageLoads_;
    const void* context_;
    GameShader shader_;
    float sort_ = 0;
    bool sky_ = false;
};

} // namespace

std::string StripExtension(const std::string& name)
{
    const size_t dot = name.rfind('.');
    const size_t slash = name.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return name;
    return name.substr(0, dot);
}

GameShader CompileShaderWith(const ShaderDefinition& definition, ImageLoadsFunction imageLoads, const void* context)
{
    return Compiler(definition, imageLoads, context).compile();
}

GameShader ImageShader(const std::string& name, const std::string& image)
{
    GameShader shader;
    shader.name = name;
    GameStage stage;
    stage.images.push_back({StageImageKind::File, image});
    stage.rgbGen = RgbGen::LightingDiffuse;
    shader.stages.push_back(std::move(stage));
    shader.sort = ShaderSort::Opaque;
    shader.listedPasses = 1;
    return shader;
}

GameShader MissingShader(const std::string& name)
{
    GameShader shader;
    shader.name = name;
    shader.defaulted = true;
    shader.sort = ShaderSort::Fog;
    return shader;
}

GameShader DefaultShader()
{
    GameShader shader;
    shader.name = "<default>";
    GameStage stage;
    stage.images.push_back({StageImageKind::File, std::string()}); // the default image
    stage.rgbGen = RgbGen::IdentityLighting;
    shader.stages.push_back(std::move(stage));
    shader.listedPasses = 1;
    return shader;
}

std::vector<uint8_t> DefaultImagePixels()
{
    constexpr int kSide = kDefaultImageSide;
    constexpr uint8_t kGrey = 32;
    std::vector<uint8_t> pixels(static_cast<size_t>(kSide) * kSide * 4, kGrey);
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            if (x == 0 || y == 0 || x == kSide - 1 || y == kSide - 1)
                std::fill_n(&pixels[(static_cast<size_t>(y) * kSide + x) * 4], 4, uint8_t{255});
        }
    }
    return pixels;
}
