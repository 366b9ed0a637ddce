#pragma once
// A shader as the game draws it: what a shader script's definition (or an
// image alone, or nothing at all) means for a surface, with every default the
// game gives a stage or a shader filled in. Character mode, the contact sheet
// and thumbnails draw every surface of game data through one of these.
//
// Compiling follows the game's reading of a definition: keywords and their
// values in any letter case; an unknown keyword, a stage image that is not
// there, more than kMaxStages stages or no stage at all leave the shader
// "defaulted" (the stages read up to there are kept, and what a defaulted
// shader draws depends on who asked for it, see SurfaceShaders.h).
#include "ShaderWaves.h"
#include "Shaders.h"

#include <GL/gl.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

inline constexpr size_t kMaxStages = 8;
inline constexpr size_t kMaxTexMods = 4;
inline constexpr size_t kMaxAnimationImages = 8;
inline constexpr size_t kMaxDeforms = 3;

// Sort values: the order in which the surfaces of a scene are drawn.
namespace ShaderSort {
inline constexpr float Portal = 1, Sky = 2, Opaque = 3, Decal = 4, SeeThrough = 5, Banner = 6, Fog = 7,
                       Underwater = 8, Blend0 = 9, Additive = 10, Nearest = 16;
}

enum class CullFace { Front, Back, None }; // which faces the game does not draw

enum class RgbGen {
    IdentityLighting, // the game's unset value, too
    Identity,
    LightingDiffuse,
    Vertex,
    ExactVertex,
    OneMinusVertex,
    Entity,
    OneMinusEntity,
    Const,
    Wave,
};

enum class AlphaGen { Identity, Const, Wave, Entity, OneMinusEntity, Vertex, OneMinusVertex, LightingSpecular, Portal };

enum class TexGen { Texture, Lightmap, Environment, Vector };

struct TexMod {
    // None: one the game could not read; it ends the stage's tcMods.
    enum class Kind { None, Scroll, Scale, Rotate, Stretch, Turb, Transform, EntityTranslate };
    Kind kind = Kind::Scroll;
    float values[6] = {}; // scroll s t; scale s t; rotate degrees/s; transform m00 m01 m10 m11 t0 t1
    Wave wave;            // stretch, turb
};

struct Deform {
    enum class Kind { Wave, Normal, Bulge, Move };
    Kind kind = Kind::Wave;
    float spread = 0;              // wave: 1 / the script's divisor
    Wave wave;                     // wave, move; normal: amplitude and frequency
    float bulge[3] = {};           // width, height, speed
    float move[3] = {};            // move: the direction
};

// Where a stage's image comes from.
enum class StageImageKind { File, White, Lightmap };

struct ShaderStageImage {
    StageImageKind kind = StageImageKind::File;
    std::string name; // File: the image as written, "/" separators
};

struct GameStage {
    std::vector<ShaderStageImage> images; // one, or an animMap's cycle of up to kMaxAnimationImages
    // The game draws this stage and the one before it as one pass with two
    // textures, which takes the vertex colours once: drawn as its own pass,
    // this stage then takes no colour of its own.
    bool sharesPreviousColor = false;
    float animationFrequency = 0;         // animMap: images a second
    bool clamp = false;                   // clampMap
    bool blend = false;
    GLenum blendSrc = GL_ONE;
    GLenum blendDst = GL_ZERO;
    bool depthWrite = true;
    bool depthEqual = false;              // depthFunc equal
    GLenum alphaFunc = GL_ALWAYS;         // GL_ALWAYS: no alpha test
    GLfloat alphaRef = 0;
    RgbGen rgbGen = RgbGen::IdentityLighting;
    AlphaGen alphaGen = AlphaGen::Identity;
    uint8_t constColor[4] = {0, 0, 0, 0}; // rgbGen const (RGB), alphaGen const (A)
    Wave rgbWave;
    Wave alphaWave;
    float portalRange = 256;
    TexGen texGen = TexGen::Texture;
    float texGenVectors[2][3] = {};       // tcGen vector: s and t
    std::vector<TexMod> texMods;          // applied in order; at most kMaxTexMods
};

// The note of a definition without stages: how packs hide a surface.
inline constexpr const char* kNoStagesNote = "no stages";

struct GameShader {
    std::string name;                 // as asked for, extension stripped
    std::vector<GameStage> stages;
    CullFace cull = CullFace::Front;
    float sort = ShaderSort::Opaque;
    bool polygonOffset = false;
    std::vector<Deform> deforms;
    bool defaulted = false;           // the game could not make it as written
    bool fromScript = false;          // defined in a shader script (not an image alone)
    // The passes the game lists for the shader: every stage it read (one
    // without an image included, though nothing is drawn from there on),
    // less one where it folds the first two into one pass.
    int listedPasses = 0;
    std::vector<std::string> notes;   // what the game did not take, one line each
};

// The shader of a script definition. Stage images are only named here; the
// caller loads them. imageLoads(name, clamp) tells whether an image can be
// loaded (by the game's extension rules; clamp: for a clampMap, when the
// image is loaded first there), since a stage whose image is missing leaves
// the shader defaulted.
template <class ImageLoads> GameShader CompileShader(const ShaderDefinition& definition, const ImageLoads& imageLoads);

// The shader the game makes for an image that no script defines: one stage of
// that image, lit by the light of the scene, opaque.
GameShader ImageShader(const std::string& name, const std::string& image);

// The shader the game makes for a name that is neither script nor image:
// defaulted, without stages.
GameShader MissingShader(const std::string& name);

// The game's default shader: its default image, full bright, opaque.
GameShader DefaultShader();

// The default image: 16 x 16 RGBA, every byte 32 but a border one pixel wide
// where every byte is 255.
inline constexpr int kDefaultImageSide = 16;
std::vector<uint8_t> DefaultImagePixels();

// The extension of a name stripped as the game strips it: the text after the
// last "." when that dot comes after the last "/".
std::string StripExtension(const std::string& name);

// The untyped form of CompileShader.
using ImageLoadsFunction = bool (*)(const void* context, const std::string& image, bool clamp);
GameShader CompileShaderWith(const ShaderDefinition& definition, ImageLoadsFunction imageLoads, const void* context);

template <class ImageLoads> GameShader CompileShader(const ShaderDefinition& definition, const ImageLoads& imageLoads)
{
    return CompileShaderWith(
        definition,
        [](const void* context, const std::string& image, bool clamp) {
            return (*static_cast<const ImageLoads*>(context))(image, clamp);
        },
        &imageLoads);
}

// A shader ready to draw with: the GL textures of its stages' images (0 where
// an image could not be made), and its place in the order shaders were
// first asked for, which breaks ties between equal sort values.
struct BoundShader {
    GameShader shader;
    std::vector<std::vector<GLuint>> textures; // per stage, per image
    uint32_t order = 0;
};
