// Compiling shader script definitions into what the game draws: the shader's
// own keywords and what the game makes of the whole; the keywords of its
// stages are read in GameStageKeywords.cpp.
#include "GameShader.h"

#include "GameStageKeywords.h"

#include "platform/system/System.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <span>

namespace {

using platform::SameText;

// Three numbers on the rest of the line; false when one is missing.
bool readNumbers(GameTokens& tokens, float (&values)[3])
{
    for (float& value : values) {
        const std::string token = tokens.NextOnLine();
        if (token.empty())
            return false;
        value = ShaderNumber(token);
    }
    return true;
}

class Compiler {
public:
    Compiler(const ShaderDefinition& definition, ImageLoadsFunction imageLoads, const void* context)
        : definition_(definition), images_{imageLoads, context}
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
    // written; false where the game gives up on the shader. As the game reads
    // a script, a keyword takes its values from its own line only
    // (NextOnLine), and whatever is left on a line is read as the next keyword.
    bool readShader()
    {
        // The shader's keywords and stages in the order they were written: a
        // problem ends the reading, and the stages before it are kept.
        size_t linesRead = 0;
        for (const ShaderStage& block : definition_.stages) {
            if (!readKeywords(linesRead, block.afterLines))
                return false;
            if (shader_.stages.size() >= kMaxStages)
                return reject("more than " + std::to_string(kMaxStages) + " stages");
            // A stage the game could not read to its end stays among the
            // shader's stages with what it read (drawn when it has its image).
            shader_.stages.emplace_back();
            if (!ReadGameStage(block, shader_.stages.back(), images_, shader_.notes))
                return false;
        }
        if (!readKeywords(linesRead, definition_.lines.size()))
            return false;
        if (shader_.stages.empty() && !sky_)
            return reject(kNoStagesNote);
        return true;
    }

    // The shader's own keywords from its line linesRead up to its line
    // untilLine, where the next stage begins.
    bool readKeywords(size_t& linesRead, size_t untilLine)
    {
        const std::span<const ShaderLine> lines(definition_.lines);
        const size_t first = std::min(linesRead, lines.size());
        linesRead = std::max(linesRead, untilLine);
        GameTokens tokens(lines.subspan(first, std::min(linesRead, lines.size()) - first));
        for (std::optional<GameToken> token = tokens.NextToken(); token; token = tokens.NextToken()) {
            if (!shaderKeyword(token->text, tokens))
                return false;
        }
        return true;
    }

    bool shaderKeyword(const std::string& keyword, GameTokens& tokens)
    {
        if (keyword.size() >= 3 && SameText(keyword.substr(0, 3), "qer")) {
            tokens.SkipLine();
        } else if (SameText(keyword, "q3map_sun") || SameText(keyword, "q3map_sunext") ||
                   (keyword.size() >= 5 && SameText(keyword.substr(0, 5), "q3map")) || SameText(keyword, "tesssize")) {
            // The sun of a level: a character scene has none.
            tokens.SkipLine();
        } else if (SameText(keyword, "deformvertexes")) {
            readDeform(tokens);
        } else if (SameText(keyword, "clamptime")) {
            tokens.NextOnLine();
        } else if (SameText(keyword, "surfaceparm") || SameText(keyword, "light")) {
            // Flags for the level compiler and the game's physics; a model is
            // drawn whatever they say ("nodraw" included).
            tokens.NextOnLine();
        } else if (SameText(keyword, "nomipmaps") || SameText(keyword, "nopicmip") ||
                   SameText(keyword, "entitymergable")) {
        } else if (SameText(keyword, "polygonoffset")) {
            shader_.polygonOffset = true;
        } else if (SameText(keyword, "fogparms")) {
            float color[3];
            if (!ReadShaderVector(tokens, color))
                return reject("fogParms without its colour");
            tokens.SkipLine();
        } else if (SameText(keyword, "portal")) {
            sort_ = ShaderSort::Portal;
        } else if (SameText(keyword, "skyparms")) {
            // A sky shader draws a sky box around a level, not a model.
            sky_ = true;
            tokens.SkipLine();
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

    void readCull(GameTokens& tokens)
    {
        const std::string face = tokens.NextOnLine();
        if (face.empty())
            return;
        if (SameText(face, "none") || SameText(face, "twosided") || SameText(face, "disable"))
            shader_.cull = CullFace::None;
        else if (SameText(face, "back") || SameText(face, "backside") || SameText(face, "backsided"))
            shader_.cull = CullFace::Back;
        else
            note("cull '" + face + "' is no face the game knows; it culls as by default");
    }

    void readSort(GameTokens& tokens)
    {
        const std::string value = tokens.NextOnLine();
        if (value.empty())
            return;
        constexpr std::pair<const char*, float> kNamed[] = {
            {"portal", ShaderSort::Portal},     {"sky", ShaderSort::Sky},
            {"opaque", ShaderSort::Opaque},     {"decal", ShaderSort::Decal},
            {"seethrough", ShaderSort::SeeThrough}, {"banner", ShaderSort::Banner},
            {"additive", ShaderSort::Additive}, {"nearest", ShaderSort::Nearest},
            {"underwater", ShaderSort::Underwater},
        };
        const float* named = ShaderNamed(kNamed, value);
        sort_ = named ? *named : ShaderNumber(value);
    }

    void readDeform(GameTokens& tokens)
    {
        const std::string kind = tokens.NextOnLine();
        if (kind.empty())
            return;
        if (shader_.deforms.size() >= kMaxDeforms) {
            note("more than " + std::to_string(kMaxDeforms) + " deformVertexes; the game ignores the rest");
            return;
        }
        Deform deform;
        if (!readDeformValues(kind, tokens, deform))
            return;
        if (deform.kind != Deform::Kind::Normal && deform.kind != Deform::Kind::Bulge &&
            deform.wave.form == WaveForm::Noise) {
            note("deformVertexes " + kind + " with a noise wave stops the game; drawn without the deform");
            return;
        }
        shader_.deforms.push_back(deform);
    }

    // The deform of kind with its values on the rest of the line; false when
    // the line lacks them or the kind is none drawn here.
    bool readDeformValues(const std::string& kind, GameTokens& tokens, Deform& deform)
    {
        if (SameText(kind, "wave")) {
            const std::string divisor = tokens.NextOnLine();
            if (divisor.empty())
                return false;
            deform.kind = Deform::Kind::Wave;
            deform.spread = ShaderNumber(divisor) != 0 ? 1.0f / ShaderNumber(divisor) : 100.0f;
            deform.wave = ReadShaderWave(tokens);
        } else if (SameText(kind, "normal")) {
            // Amplitude first, then frequency.
            const std::string amplitude = tokens.NextOnLine();
            const std::string frequency = amplitude.empty() ? std::string() : tokens.NextOnLine();
            if (frequency.empty())
                return false;
            deform.kind = Deform::Kind::Normal;
            deform.wave.amplitude = ShaderNumber(amplitude);
            deform.wave.frequency = ShaderNumber(frequency);
        } else if (SameText(kind, "bulge")) {
            if (!readNumbers(tokens, deform.bulge))
                return false;
            deform.kind = Deform::Kind::Bulge;
        } else if (SameText(kind, "move")) {
            if (!readNumbers(tokens, deform.move))
                return false;
            deform.kind = Deform::Kind::Move;
            deform.wave = ReadShaderWave(tokens);
        } else {
            // autosprite, autosprite2, projectionShadow, text0 ... text7 are
            // for sprites and level surfaces; other names the game ignores.
            note("deformVertexes " + kind + " is not drawn here");
            return false;
        }
        return true;
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
    StageImages images_;
    GameShader shader_;
    float sort_ = 0;
    bool sky_ = false;
};

} // namespace

float ShaderNumber(const std::string& text) { return static_cast<float>(GameAtof(text)); }

WaveForm ShaderWaveForm(const std::string& name)
{
    constexpr std::pair<const char*, WaveForm> kForms[] = {
        {"sin", WaveForm::Sin},           {"square", WaveForm::Square},
        {"triangle", WaveForm::Triangle}, {"sawtooth", WaveForm::Sawtooth},
        {"inversesawtooth", WaveForm::InverseSawtooth}, {"noise", WaveForm::Noise},
    };
    const WaveForm* form = ShaderNamed(kForms, name);
    return form ? *form : WaveForm::Sin;
}

Wave ReadShaderWave(GameTokens& tokens)
{
    Wave wave;
    std::string token = tokens.NextOnLine();
    if (token.empty())
        return wave;
    wave.form = ShaderWaveForm(token);
    float* fields[] = {&wave.base, &wave.amplitude, &wave.phase, &wave.frequency};
    for (float* field : fields) {
        token = tokens.NextOnLine();
        if (token.empty())
            return wave;
        *field = ShaderNumber(token);
    }
    return wave;
}

bool ReadShaderVector(GameTokens& tokens, float (&values)[3])
{
    if (tokens.NextOnLine() != "(")
        return false;
    if (!readNumbers(tokens, values))
        return false;
    return tokens.NextOnLine() == ")";
}

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
