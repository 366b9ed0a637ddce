// The keywords of a shader's stages, as the game reads them.
#include "GameStageKeywords.h"

#include "platform/system/System.h"

#include <algorithm>
#include <utility>

namespace {

using platform::SameText;

uint8_t byteOf(float unit) { return static_cast<uint8_t>(std::clamp(255.0f * unit, 0.0f, 255.0f)); }

constexpr std::pair<const char*, GLenum> kSourceFactors[] = {
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
constexpr std::pair<const char*, GLenum> kDestinationFactors[] = {
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
template <size_t N> GLenum factorOf(const std::pair<const char*, GLenum> (&names)[N], const std::string& name)
{
    const GLenum* factor = ShaderNamed(names, name);
    return factor ? *factor : GL_ONE;
}

// Reads one stage block into a stage.
class StageReader {
public:
    StageReader(GameStage& stage, const StageImages& images, std::vector<std::string>& notes)
        : stage_(stage), images_(images), notes_(notes)
    {
    }

    bool read(const ShaderStage& block)
    {
        GameTokens tokens(block.lines);
        // Until the stage has been read to its end, it draws as the game
        // draws a stage cut short: no blending, no depth writes.
        stage_.depthWrite = false;
        for (std::optional<GameToken> token = tokens.NextToken(); token; token = tokens.NextToken()) {
            if (!keyword(token->text, tokens))
                return false;
        }
        finish();
        return true;
    }

private:
    // What the stage's keywords said, where the game decides only at its end.
    struct State {
        bool blendGiven = false;
        GLenum src = GL_ONE, dst = GL_ZERO;
        bool depthWriteExplicit = false;
        bool rgbGiven = false;
        bool texGenGiven = false;
    };

    void note(const std::string& text) { notes_.push_back(text); }
    bool reject(const std::string& text)
    {
        note(text);
        return false;
    }

    // One keyword and its values; false where the game gives up on the shader.
    bool keyword(const std::string& keyword, GameTokens& tokens)
    {
        if (SameText(keyword, "map") || SameText(keyword, "clampmap"))
            return readMap(keyword, tokens);
        if (SameText(keyword, "animmap"))
            return readAnimMap(tokens);
        if (SameText(keyword, "videomap"))
            return readVideoMap(tokens);
        if (SameText(keyword, "alphafunc"))
            return readAlphaFunc(tokens);
        if (SameText(keyword, "depthfunc"))
            return readDepthFunc(tokens);
        if (SameText(keyword, "tcmod"))
            return readTexMod(tokens);
        if (SameText(keyword, "blendfunc"))
            readBlendFunc(tokens);
        else if (SameText(keyword, "rgbgen"))
            readRgbGen(tokens);
        else if (SameText(keyword, "alphagen"))
            readAlphaGen(tokens);
        else if (SameText(keyword, "tcgen") || SameText(keyword, "texgen"))
            state_.texGenGiven = readTexGen(tokens) || state_.texGenGiven;
        else if (SameText(keyword, "depthwrite"))
            state_.depthWriteExplicit = true;
        else if (!SameText(keyword, "detail"))
            return reject("unknown stage keyword '" + keyword + "'");
        return true;
    }

    // A stage's image; false when it is not there (the game gives up on the
    // shader). Only "map" knows the names $whiteimage and $lightmap; every
    // image line knows the white image by its own name, *white.
    bool addImage(const std::string& name, bool mapLine)
    {
        ShaderStageImage image;
        std::string path = name;
        std::replace(path.begin(), path.end(), '\\', '/');
        if ((mapLine && SameText(path, "$whiteimage")) || SameText(path, "*white")) {
            image.kind = StageImageKind::White;
        } else if (mapLine && SameText(path, "$lightmap")) {
            // A model has no lightmap: the game puts white in its place.
            image.kind = StageImageKind::Lightmap;
        } else if (!images_.loads(images_.context, path, stage_.clamp)) {
            return reject("stage image '" + path + "' is not there");
        } else {
            image.name = path;
        }
        stage_.images.push_back(std::move(image));
        return true;
    }

    // "map" or "clampMap" (keyword in lower case) and its image.
    bool readMap(const std::string& keyword, GameTokens& tokens)
    {
        const std::string name = tokens.NextOnLine();
        if (name.empty())
            return reject(keyword + " without an image");
        stage_.images.clear();
        stage_.clamp = SameText(keyword, "clampmap");
        return addImage(name, !stage_.clamp);
    }

    bool readAnimMap(GameTokens& tokens)
    {
        const std::string frequency = tokens.NextOnLine();
        if (frequency.empty())
            return reject("animMap without a frequency");
        stage_.images.clear();
        stage_.animationFrequency = ShaderNumber(frequency);
        size_t total = 0;
        for (std::string name = tokens.NextOnLine(); !name.empty(); name = tokens.NextOnLine(), ++total) {
            if (total < kMaxAnimationImages && !addImage(name, false))
                return false;
        }
        if (total > kMaxAnimationImages)
            note("animMap of " + std::to_string(total) + " images; the game cycles through the first " +
                 std::to_string(kMaxAnimationImages));
        return true;
    }

    bool readVideoMap(GameTokens& tokens)
    {
        if (tokens.NextOnLine().empty())
            return reject("videoMap without a file");
        note("videoMap is not played here");
        return true;
    }

    bool readDepthFunc(GameTokens& tokens)
    {
        const std::string func = tokens.NextOnLine();
        if (func.empty())
            return reject("depthFunc without a function");
        if (SameText(func, "lequal") || SameText(func, "equal"))
            stage_.depthEqual = SameText(func, "equal");
        return true;
    }

    bool readAlphaFunc(GameTokens& tokens)
    {
        const std::string func = tokens.NextOnLine();
        if (func.empty())
            return reject("alphaFunc without a function");
        constexpr GLfloat kHalf = 0.5f; // 128 of 255
        stage_.alphaFunc = GL_ALWAYS;
        stage_.alphaRef = 0;
        if (SameText(func, "gt0"))
            stage_.alphaFunc = GL_GREATER;
        else if (SameText(func, "lt128"))
            stage_.alphaFunc = GL_LESS, stage_.alphaRef = kHalf;
        else if (SameText(func, "ge128"))
            stage_.alphaFunc = GL_GEQUAL, stage_.alphaRef = kHalf;
        else
            note("alphaFunc '" + func + "' is no function the game knows; no alpha test");
        return true;
    }

    void readBlendFunc(GameTokens& tokens)
    {
        const std::string first = tokens.NextOnLine();
        if (first.empty())
            return;
        if (SameText(first, "add")) {
            state_.src = GL_ONE, state_.dst = GL_ONE;
        } else if (SameText(first, "filter")) {
            state_.src = GL_DST_COLOR, state_.dst = GL_ZERO;
        } else if (SameText(first, "blend")) {
            state_.src = GL_SRC_ALPHA, state_.dst = GL_ONE_MINUS_SRC_ALPHA;
        } else {
            const GLenum src = factorOf(kSourceFactors, first);
            const std::string second = tokens.NextOnLine();
            if (second.empty())
                return;
            state_.src = src;
            state_.dst = factorOf(kDestinationFactors, second);
        }
        state_.blendGiven = true;
    }

    void readRgbGen(GameTokens& tokens)
    {
        const std::string kind = tokens.NextOnLine();
        if (kind.empty())
            return;
        if (SameText(kind, "wave")) {
            stage_.rgbWave = ReadShaderWave(tokens);
            stage_.rgbGen = RgbGen::Wave;
        } else if (SameText(kind, "const")) {
            float color[3] = {0, 0, 0};
            ReadShaderVector(tokens, color);
            for (int c = 0; c < 3; ++c)
                stage_.constColor[c] = byteOf(color[c]);
            stage_.rgbGen = RgbGen::Const;
        } else {
            constexpr std::pair<const char*, RgbGen> kNamed[] = {
                {"identity", RgbGen::Identity},       {"identitylighting", RgbGen::IdentityLighting},
                {"entity", RgbGen::Entity},           {"oneminusentity", RgbGen::OneMinusEntity},
                {"vertex", RgbGen::Vertex},           {"exactvertex", RgbGen::ExactVertex},
                {"lightingdiffuse", RgbGen::LightingDiffuse}, {"oneminusvertex", RgbGen::OneMinusVertex},
            };
            const RgbGen* named = ShaderNamed(kNamed, kind);
            if (!named) {
                note("rgbGen '" + kind + "' is no colour the game knows");
                return;
            }
            stage_.rgbGen = *named;
            // Vertex colours bring their alpha along, unless the stage has
            // said otherwise before.
            if (stage_.rgbGen == RgbGen::Vertex && stage_.alphaGen == AlphaGen::Identity)
                stage_.alphaGen = AlphaGen::Vertex;
        }
        state_.rgbGiven = true;
    }

    void readAlphaGen(GameTokens& tokens)
    {
        const std::string kind = tokens.NextOnLine();
        if (kind.empty())
            return;
        if (SameText(kind, "wave")) {
            stage_.alphaWave = ReadShaderWave(tokens);
            stage_.alphaGen = AlphaGen::Wave;
            if (stage_.alphaWave.form == WaveForm::Noise) {
                note("alphaGen wave noise stops the game; drawn with alpha 1");
                stage_.alphaGen = AlphaGen::Identity;
            }
        } else if (SameText(kind, "const")) {
            stage_.constColor[3] = byteOf(ShaderNumber(tokens.NextOnLine()));
            stage_.alphaGen = AlphaGen::Const;
        } else if (SameText(kind, "portal")) {
            stage_.alphaGen = AlphaGen::Portal;
            const std::string range = tokens.NextOnLine();
            stage_.portalRange = range.empty() ? 256.0f : ShaderNumber(range);
        } else {
            constexpr std::pair<const char*, AlphaGen> kNamed[] = {
                {"identity", AlphaGen::Identity}, {"entity", AlphaGen::Entity},
                {"oneminusentity", AlphaGen::OneMinusEntity}, {"vertex", AlphaGen::Vertex},
                {"lightingspecular", AlphaGen::LightingSpecular}, {"oneminusvertex", AlphaGen::OneMinusVertex},
            };
            const AlphaGen* named = ShaderNamed(kNamed, kind);
            if (!named) {
                note("alphaGen '" + kind + "' is no alpha the game knows");
                return;
            }
            stage_.alphaGen = *named;
        }
    }

    // True when the line set the stage's generator.
    bool readTexGen(GameTokens& tokens)
    {
        const std::string kind = tokens.NextOnLine();
        if (kind.empty())
            return false;
        if (SameText(kind, "environment")) {
            stage_.texGen = TexGen::Environment;
        } else if (SameText(kind, "lightmap")) {
            stage_.texGen = TexGen::Lightmap;
        } else if (SameText(kind, "texture") || SameText(kind, "base")) {
            stage_.texGen = TexGen::Texture;
        } else if (SameText(kind, "vector")) {
            ReadShaderVector(tokens, stage_.texGenVectors[0]);
            ReadShaderVector(tokens, stage_.texGenVectors[1]);
            stage_.texGen = TexGen::Vector;
        } else {
            note("tcGen '" + kind + "' is no generator the game knows");
            return false;
        }
        return true;
    }

    bool readTexMod(GameTokens& tokens)
    {
        if (stage_.texMods.size() >= kMaxTexMods)
            return reject("more than " + std::to_string(kMaxTexMods) + " tcMods in a stage stop the game");
        std::vector<std::string> values;
        for (std::string token = tokens.NextOnLine(); !token.empty(); token = tokens.NextOnLine())
            values.push_back(token);
        TexMod mod;
        // An incomplete or unknown tcMod takes its place but does nothing,
        // and the game applies none of the stage's tcMods after it.
        if (!texModOf(values, mod))
            mod.kind = TexMod::Kind::None;
        stage_.texMods.push_back(mod);
        return true;
    }

    // The tcMod of a line's values (its kind first); false when the line
    // lacks values, the kind is unknown or the game could not apply it.
    bool texModOf(const std::vector<std::string>& values, TexMod& mod)
    {
        const std::string kind = values.empty() ? std::string() : values[0];
        auto read = [&](size_t count, float* into) {
            if (values.size() < count + 1)
                return false;
            for (size_t i = 0; i < count; ++i)
                into[i] = ShaderNumber(values[i + 1]);
            return true;
        };
        auto readWaveValues = [&](size_t first) {
            if (values.size() < first + 4)
                return false;
            mod.wave.base = ShaderNumber(values[first]);
            mod.wave.amplitude = ShaderNumber(values[first + 1]);
            mod.wave.phase = ShaderNumber(values[first + 2]);
            mod.wave.frequency = ShaderNumber(values[first + 3]);
            return true;
        };
        if (SameText(kind, "scroll"))
            return mod.kind = TexMod::Kind::Scroll, read(2, mod.values);
        if (SameText(kind, "scale"))
            return mod.kind = TexMod::Kind::Scale, read(2, mod.values);
        if (SameText(kind, "rotate"))
            return mod.kind = TexMod::Kind::Rotate, read(1, mod.values);
        if (SameText(kind, "transform"))
            return mod.kind = TexMod::Kind::Transform, read(6, mod.values);
        if (SameText(kind, "turb"))
            return mod.kind = TexMod::Kind::Turb, readWaveValues(1);
        if (SameText(kind, "entitytranslate"))
            return mod.kind = TexMod::Kind::EntityTranslate, true;
        if (!SameText(kind, "stretch")) {
            note("tcMod '" + kind + "' is none the game knows; it ends the stage's tcMods");
            return false;
        }
        mod.kind = TexMod::Kind::Stretch;
        if (values.size() >= 2)
            mod.wave.form = ShaderWaveForm(values[1]);
        if (!readWaveValues(2))
            return false;
        if (mod.wave.form == WaveForm::Noise) {
            note("tcMod stretch with a noise wave stops the game; drawn without it");
            return false;
        }
        return true;
    }

    void finish()
    {
        stage_.blend = state_.blendGiven;
        stage_.blendSrc = state_.blendGiven ? state_.src : GL_ONE;
        stage_.blendDst = state_.blendGiven ? state_.dst : GL_ZERO;
        stage_.depthWrite = !state_.blendGiven || state_.depthWriteExplicit;
        if (!state_.rgbGiven) {
            const bool lightingSource = !state_.blendGiven || state_.src == GL_ONE || state_.src == GL_SRC_ALPHA;
            stage_.rgbGen = lightingSource ? RgbGen::IdentityLighting : RgbGen::Identity;
        }
        // GL_ONE, GL_ZERO replaces what is there: drawing without blending.
        if (stage_.blend && stage_.blendSrc == GL_ONE && stage_.blendDst == GL_ZERO) {
            stage_.blend = false;
            stage_.depthWrite = true;
        }
        if (stage_.images.empty())
            return;
        if (stage_.images.front().kind == StageImageKind::Lightmap && !state_.texGenGiven)
            stage_.texGen = TexGen::Lightmap;
    }

    GameStage& stage_;
    const StageImages& images_;
    std::vector<std::string>& notes_;
    State state_;
};

} // namespace

bool ReadGameStage(const ShaderStage& block, GameStage& stage, const StageImages& images,
                   std::vector<std::string>& notes)
{
    return StageReader(stage, images, notes).read(block);
}
