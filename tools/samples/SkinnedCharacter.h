#pragma once
// A small skinned character as a modelling tool exports it to glTF: metres,
// Y up, facing +Z (its left is +X), about 1.72 m tall. A root node
// "Armature" holds the skeleton (hips, spine, neck, thigh.L, arm.R), the
// empty nodes tag_torso (on hips), tag_head (on neck) and tag_weapon (at the
// hand end of arm.R), and the three skinned mesh nodes l_legs, u_torso and
// h_head, all of one skin. Each mesh is a set of closed boxes, smooth at the
// corners of their sides, its vertices duplicated along the seam of its
// texture wrap and at the caps, with one material and an embedded PNG.
// Animations: LEGS_WALK (linear), TORSO_GESTURE (cubic spline, step and
// linear) and Dance; their keys lie off any regular grid.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace samples {

using Float3 = std::array<float, 3>;
using Float4 = std::array<float, 4>;

struct SkinnedNode {
    std::string name;
    int parent = -1; // index in SkinnedCharacter::nodes, always before this node; -1 at the scene root
    Float3 translation{0, 0, 0};
    Float4 rotation{0, 0, 0, 1}; // unit quaternion x, y, z, w
    Float3 scale{1, 1, 1};
    int mesh = -1; // index in SkinnedCharacter::meshes of the mesh the node carries, skinned
};

struct SkinnedVertex {
    Float3 position; // bind pose, metres
    Float3 normal;
    std::array<float, 2> uv; // glTF's: v = 0 at the image's top row
    std::array<uint8_t, 4> joints; // indices into SkinnedCharacter::joints; 0 where the weight is 0
    Float4 weights; // summing to 1
};

struct SkinnedMesh {
    std::string name; // of the node and of the mesh
    std::string material;
    std::array<uint8_t, 3> colour; // of the material's image, checked with a lighter shade
    std::vector<SkinnedVertex> vertices;
    std::vector<uint16_t> triangles; // three indices each, counter-clockwise seen from outside
};

struct SkinnedChannel {
    std::string node;
    std::string path; // "translation", "rotation" or "scale"
    std::string interpolation; // "LINEAR", "STEP" or "CUBICSPLINE"
    std::vector<float> times; // seconds, increasing
    // Per key 3 numbers (translation, scale) or 4 (rotation x, y, z, w); with
    // CUBICSPLINE each key is in-tangent, value, out-tangent.
    std::vector<float> values;
};

struct SkinnedAnimation {
    std::string name;
    std::vector<SkinnedChannel> channels;
};

struct SkinnedCharacter {
    std::vector<SkinnedNode> nodes; // in the file's order
    std::vector<int> joints; // the skin's joints as node indices; its inverse bind matrices come from the rest pose
    std::vector<SkinnedMesh> meshes;
    std::vector<SkinnedAnimation> animations;
};

inline constexpr char kSkinnedArmature[] = "Armature";
inline constexpr char kSkinnedWalk[] = "LEGS_WALK";
inline constexpr char kSkinnedGesture[] = "TORSO_GESTURE";
inline constexpr char kSkinnedDance[] = "Dance";
inline constexpr float kSkinnedWalkSeconds = 1.2f;
inline constexpr float kSkinnedGestureSeconds = 1.37f;
inline constexpr float kSkinnedDanceSeconds = 0.95f;

// The sample character described above.
SkinnedCharacter SampleSkinnedCharacter();

// The character as a binary glTF file (.glb); throws std::runtime_error
// when the glTF library cannot write it.
std::string SkinnedCharacterGlb(const SkinnedCharacter& character);

} // namespace samples
