#pragma once
// The model unit: MD3 characters in memory. A part (legs, torso, head or a
// weapon) is one MD3 file: named surfaces with one vertex set per animation
// frame, and named attachment points (tags) per frame. A player is three
// parts hung on each other through tags, with an animation table that moves
// their frame ranges. Plain records and functions; all drawing is immediate
// mode and needs a current GL context.
#include "textures/Textures.h"

#include <GL/gl.h>

#include <array>
#include <bit>
#include <cstdint>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <utility>
#include <vector>

// The file records below are copied straight from little-endian file bytes.
static_assert(std::endian::native == std::endian::little, "MD3 records are read in little-endian layout");

// File layout of an MD3:
//   header                         108 bytes at offset 0
//   frames      F x  56 bytes      right after the header
//   tags    F x T x 112 bytes      right after the frames, frame by frame
//   surfaces    S of them          the first right after the tags, each next
//                                  at the previous one's start + its end offset
// Within a surface (offsets from its start P): header (108 bytes), shaders
// right after the header, then triangles, texture coordinates and the
// frame-major vertices at the offsets the header gives.

constexpr int kMD3NameLength = 64;
constexpr int32_t kMD3Version = 15;
constexpr float kMD3XyzScale = 1.0f / 64.0f; // positions are stored in 1/64 units

struct TMD3Header {
    char Ident[4]; // "IDP3" in any letter case
    int32_t Version;
    char Name[kMD3NameLength];
    int32_t Flags;
    int32_t NumFrames;   // F
    int32_t NumTags;     // T, tags per frame
    int32_t NumSurfaces; // S
    int32_t NumSkins;
    int32_t OfsFrames;   // the viewer keeps the offsets but relies on the
    int32_t OfsTags;     // standard arrangement above; the game reads them
    int32_t OfsSurfaces;
    int32_t OfsEnd;
};

// A frame's bounds, origin and name; nothing of it is used.
struct TMD3Frame {
    uint8_t Data[56];
};

struct TMD3Tag {
    char Name[kMD3NameLength]; // "tag_torso", "tag_head", "tag_weapon", ...
    float Origin[3];
    float Axis[3][3]; // axis 0, axis 1, axis 2, each X, Y, Z
};

struct TMD3SurfaceHeader {
    char Ident[4];
    char Name[kMD3NameLength];
    int32_t Flags;
    int32_t NumFrames;   // vertex frames Fs
    int32_t NumShaders;
    int32_t NumVerts;    // V, vertices per frame
    int32_t NumTriangles;
    int32_t OfsTriangles; // offsets from the start of the surface
    int32_t OfsShaders;   // the viewer's shaders follow the header; the game's are here
    int32_t OfsSt;
    int32_t OfsXyzNormal;
    int32_t OfsEnd;
};

// A shader name and index; nothing of it is used.
struct TMD3Shader {
    uint8_t Data[68];
};

struct TMD3Triangle {
    int32_t Index[3]; // vertex indices 0 ... V - 1
};

struct TMD3TexCoord {
    float S;
    float T;
};

struct TMD3Vertex {
    int16_t Position[3]; // 1/64 units
    uint8_t Normal[2];   // the two angle bytes u, w looked up in NormalTable
};

static_assert(sizeof(TMD3Header) == 108);
static_assert(sizeof(TMD3Frame) == 56);
static_assert(sizeof(TMD3Tag) == 112);
static_assert(sizeof(TMD3SurfaceHeader) == 108);
static_assert(sizeof(TMD3Shader) == 68);
static_assert(sizeof(TMD3Triangle) == 12);
static_assert(sizeof(TMD3TexCoord) == 8);
static_assert(sizeof(TMD3Vertex) == 8);

// Dynamic array of file records. Growing it leaves the new records
// uninitialised instead of zeroing them, because the reader fills them from
// the file at once; clearing large vertex arrays first would cost as much
// as reading them.
template <class T> struct RecordAllocator : std::allocator<T> {
    template <class U> struct rebind {
        using other = RecordAllocator<U>;
    };
    RecordAllocator() = default;
    template <class U> RecordAllocator(const RecordAllocator<U>&) noexcept {}
    template <class U> void construct(U* p) noexcept { ::new (static_cast<void*>(p)) U; }
    template <class U, class... Args> void construct(U* p, Args&&... args)
    {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};
template <class T> using RecordArray = std::vector<T, RecordAllocator<T>>;

// One surface of a part.
struct TMesh {
    TMD3SurfaceHeader Header{};
    RecordArray<TMD3Shader> Shaders;
    RecordArray<TMD3Triangle> Triangles;
    RecordArray<TMD3TexCoord> TexCoords; // V entries
    RecordArray<TMD3Vertex> Vertices;    // Fs x V entries, frame-major
    GLuint Texture = 0;                  // meaningful only when HasTexture
    bool HasTexture = false;
};

// One animation: a range of frames in the part it plays on.
struct TAnimation {
    int32_t FirstFrame;
    int32_t NumFrames; // after loading: the offset of the last frame from the first
    int32_t LoopingFrames;
    int32_t FPS;
};

// One model part. A default-constructed part is a valid empty part that
// draws nothing.
struct TMD3Model {
    int32_t CurrentFrame = 0;
    int32_t StartFrame = 0;
    int32_t EndFrame = 0; // inclusive
    int32_t NextFrame = 0;
    int32_t FPS = 0;      // 0: the part never advances
    float Blend = 0;      // the weight drawing blends towards NextFrame by (the viewer's playback: seconds since the last frame switch)
    float LastTime = 0;   // animation clock at the last frame switch, seconds
    std::string FileName;
    TMD3Header Header{};
    RecordArray<TMD3Frame> Frames;
    RecordArray<TMD3Tag> Tags; // F x T, frame-major
    std::vector<TMesh> Meshes;
    // One entry per tag index: the part hanging on that tag, not owned.
    std::vector<TMD3Model*> Links;
};

// The lines an animation table of the viewer's rules holds.
constexpr int kAnimationCount = 26;

// A character: legs, torso and head. After LoadPlayer the links point at the
// record's own parts, so a linked player must stay where it is.
struct Q3Player {
    TMD3Model Lower; // legs, the root of the drawing tree
    TMD3Model Upper; // torso
    TMD3Model Head;
    std::array<TAnimation, kAnimationCount> Animations{};
    int32_t LegsAnim = 0;
    int32_t TorsoAnim = 0;
};

// Decoded vertex normals: entry [u][w] is the unit vector of the normal bytes
// (u, w), X, Y, Z. Built once by BuildNormalTable.
extern double NormalTable[256][256][3];

// The text of a fixed-size name field, up to its first NUL or its full width.
std::string MD3Name(const char (&field)[kMD3NameLength]);

// True when a header is one this reader reads: ident "IDP3" in any letter
// case and version kMD3Version. Throws nothing.
bool IsMD3Header(const TMD3Header& header);

// Reads one MD3 file into part. A missing file leaves the part unchanged; a
// wrong ident or version stores only the file name and the header. Throws
// platform::EInOutError when the file cannot be read or its counts, offsets
// or indices do not fit; the part is then unchanged. The standard
// arrangement reads the arrays where the layout above puts them, whatever
// the offsets say (the viewer's reading); AtOffsets reads the frames, tags,
// surfaces and each surface's shader records where their offsets put them.
enum class Md3Arrangement { Standard, AtOffsets };
void LoadMD3(TMD3Model& part, const std::string& fileName, Md3Arrangement arrangement = Md3Arrangement::Standard);

// LoadMD3 on the bytes of a file already in memory; fileName is stored in the
// part and named in error messages.
void LoadMD3FromBytes(TMD3Model& part, const std::string& fileName, std::span<const uint8_t> bytes,
                      Md3Arrangement arrangement = Md3Arrangement::Standard);

// Fills NormalTable.
void BuildNormalTable();

// The angle bytes (u, w) whose direction in NormalTable lies nearest the unit
// vector (x, y, z), the first in table order among equals; (0, 0) for a
// vector without a direction. Builds NormalTable when it is not built.
std::array<uint8_t, 2> NearestNormalCode(double x, double y, double z);

// Reads folder + skinFileName and binds the images it names to the part's
// meshes by the viewer's rules: each image is folder + its file name, one
// texture per mesh. A missing skin file does nothing; throws
// platform::EInOutError when it exists but cannot be read. (The game's
// reading of skins is GameSkin.h.)
void LoadSkin(TMD3Model& part, const std::string& folder, const std::string& skinFileName);

// One line of a skin file that binds an image: the surface it names (empty
// for a line without a comma) and the image's file name without folders.
struct SkinBinding {
    std::string surfaceName;
    std::string imageName;
};

// The lines of a skin file that bind an image, in file order, leaving out
// lines that are too short, name a tag or name no image file (".JPG", ".TGA"
// or ".BMP" in any letter case after the last "/").
std::vector<SkinBinding> ParseSkinLines(const std::vector<std::string>& lines);

// Loads legs, torso and head with their skins and the animation table from
// folder, starts animations 11 and 14 and links the parts; throws what the
// loaders throw.
void LoadPlayer(Q3Player& player, const std::string& folder, const std::string& skinName);

// Hangs child on the first tag of parent named exactly tagName; nothing
// happens when there is none.
void LinkModel(TMD3Model& parent, const std::string& tagName, TMD3Model& child);

// Advances the three body parts to t seconds and draws the tree from the
// legs in the character's own colours.
void DrawPlayer(Q3Player& player, float t);

// Makes the current colour and the lit material white, so that what is drawn
// next shows its own texture colours whatever an earlier drawing (the
// overlay's fonts) left as current colour or material.
void UseCharacterColours();

// Draws a part and, under their tags' matrices, the parts hanging on it.
void DrawModel(const TMD3Model& part);

// Draws the meshes of a part blended from frame c towards frame n by f, the
// viewer's way (each with its own texture, in the current GL state).
void DrawMeshes(const TMD3Model& part, int32_t c, int32_t n, double f);

// The frame drawn for index frame of a part or surface with frameCount > 0
// frames: an index from the animation table may exceed what it holds, and
// then its last frame is drawn.
size_t ClampFrame(int32_t frame, size_t frameCount);

// The vertex frames a surface holds (its vertices over its texture
// coordinates); 0 for a surface without vertices.
size_t VertexFrames(const TMesh& mesh);

// True when a tag axis counts as unit length: within the little float noise
// exporters leave. Throws nothing.
bool IsUnitTagAxis(const float (&axis)[3]);

// A tag record as a column-major GL matrix: the axes, normalised (an axis of
// length 0 stays as it is; unit axes are taken unchanged), are the rotation's
// columns, the origin the translation.
void TagMatrix(const TMD3Tag& tag, GLfloat matrix[16]);

// Draws part with drawMeshes(part) and then, under the matrices of their tags
// in the part's current frame, the parts hanging on it, recursively. Tags
// are not blended.
template <class DrawMeshesOf> void DrawPartTree(const TMD3Model& part, const DrawMeshesOf& drawMeshes)
{
    drawMeshes(part);
    const size_t tagsPerFrame = part.Links.size();
    if (tagsPerFrame == 0 || part.Tags.size() < tagsPerFrame)
        return;
    const size_t frame = ClampFrame(part.CurrentFrame, part.Tags.size() / tagsPerFrame);
    for (size_t i = 0; i < tagsPerFrame; ++i) {
        if (!part.Links[i])
            continue;
        GLfloat matrix[16];
        TagMatrix(part.Tags[frame * tagsPerFrame + i], matrix);
        glPushMatrix();
        glMultMatrixf(matrix);
        DrawPartTree(*part.Links[i], drawMeshes);
        glPopMatrix();
    }
}

// Reads an animation table file into player.Animations and adjusts it. A
// missing file
// does nothing; throws platform::EInOutError when the file cannot be read and
// platform::EConvertError for a field that is not a whole number.
void LoadAnimation(Q3Player& player, const std::string& fileName);

// LoadAnimation on the lines of a file already in memory; throws platform::EConvertError for a field that is not a whole number.
void LoadAnimationFromLines(Q3Player& player, const std::vector<std::string>& lines);

// Moves the legs entries of a freshly read table down into the legs file's
// numbering (by the distance between the first legs and the first torso
// entry) and turns each positive count into the offset of the last frame
// from the first, as loading a table does. Throws nothing.
void AdjustAnimations(std::span<TAnimation, kAnimationCount> animations);

// Whether animation k plays on the legs (0-5 and 13-24) and on the torso
// (0-12); others play on neither. Throw nothing.
bool AnimationDrivesLegs(uint32_t k);
bool AnimationDrivesTorso(uint32_t k);

// Starts animation k on the parts it drives; others change nothing.
void SetAnimation(Q3Player& player, uint32_t k);

// Moves part along its frame range to t seconds on the animation clock: one
// frame switch per call once a period has passed, every range looping to its
// start, the blend the seconds since the switch.
void UpdateFrame(TMD3Model& part, float t);

// Moves the legs, torso and head to t seconds on the animation clock, as
// DrawPlayer does before it draws.
void UpdatePlayer(Q3Player& player, float t);

// For a stopped clock at t seconds: shows part one frame on (step 1), as
// playback switches frames, or one frame back (step -1) within its range
// from its first frame round to its last, unblended from then on. Throws
// nothing.
void StepFrame(TMD3Model& part, int step, float t);
