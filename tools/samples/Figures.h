#pragma once
// The body parts of the sample characters: legs (hips and two legs), torso
// (chest and two arms) and head, built from simple solids on a small rig and
// posed for every frame of the animation set.
//
// Coordinates: Z up, X forward, Y to the character's left, about one unit per
// inch. The legs' origin is at the hips; the soles stand at z = -24. The
// torso hangs on the legs' "tag_torso" at the hips, the head on the torso's
// "tag_head" at the neck, the weapon on the torso's "tag_weapon" in the right
// hand with its X axis along the forearm.
#include "tools/samples/MeshBuilder.h"
#include "tools/writers/Md3Writer.h"

#include <map>
#include <string>

namespace samples {

inline constexpr float kGroundZ = -24.0f;

enum class Figure { Slender, Bulky };

struct Build {
    Figure figure = Figure::Slender;
    // Legs; the hip joints sit at hipZ, hipHalfWidth to each side.
    Vec3 pelvisCentre, pelvisRadii;
    float hipHalfWidth = 0, hipZ = 0;
    float thighLength = 0, shinLength = 0;
    float thighTop = 0, thighBottom = 0, kneeRadius = 0, shinTop = 0, shinBottom = 0;
    Vec3 footLo, footHi; // boot, in the ankle's frame
    float tagTorsoZ = 0;
    // Torso, from the waist.
    Vec3 abdomenCentre, abdomenRadii, chestCentre, chestRadii;
    float shoulderHalfWidth = 0, shoulderZ = 0;
    float upperArmLength = 0, forearmLength = 0;
    float upperArmTop = 0, upperArmBottom = 0, forearmTop = 0, forearmBottom = 0, handRadius = 0;
    float neckRadius = 0, neckZ = 0;
    // Head, from the neck.
    Vec3 skullCentre, skullRadii;
};

Build slenderBuild();
Build bulkyBuild();

// Texture rectangles of the body surfaces; the painted textures follow them.
namespace layout {
inline constexpr UvRect kHips{0.0f, 0.0f, 1.0f, 0.22f};
inline constexpr UvRect kThigh{0.0f, 0.22f, 1.0f, 0.50f};
inline constexpr UvRect kKnee{0.0f, 0.50f, 1.0f, 0.56f};
inline constexpr UvRect kShin{0.0f, 0.56f, 1.0f, 0.84f};
inline constexpr UvRect kFoot{0.0f, 0.84f, 1.0f, 1.0f};

inline constexpr UvRect kChest{0.0f, 0.0f, 1.0f, 0.62f};
inline constexpr UvRect kAbdomen{0.0f, 0.62f, 1.0f, 1.0f};

inline constexpr UvRect kUpperArm{0.0f, 0.0f, 1.0f, 0.35f};
inline constexpr UvRect kElbow{0.0f, 0.35f, 1.0f, 0.42f};
inline constexpr UvRect kForearm{0.0f, 0.42f, 1.0f, 0.72f};
inline constexpr UvRect kHand{0.0f, 0.72f, 1.0f, 0.86f};
inline constexpr UvRect kNeck{0.0f, 0.86f, 1.0f, 1.0f};

// Head: the skull takes the whole picture, the face in its middle.
inline constexpr UvRect kSkull{0.0f, 0.0f, 1.0f, 1.0f};
inline constexpr UvRect kNose{0.47f, 0.50f, 0.53f, 0.56f};
inline constexpr UvRect kEar{0.20f, 0.42f, 0.26f, 0.52f};
inline constexpr UvRect kBeard{0.40f, 0.68f, 0.60f, 0.82f};
inline constexpr UvRect kBrim{0.0f, 0.86f, 1.0f, 1.0f};
} // namespace layout

// Texture path written as the shader of each surface, by surface name.
using ShaderNames = std::map<std::string, std::string>;

// lower.md3: surface "l_legs", tag "tag_torso".
writers::Md3Model makeLegs(const Build& build, const ShaderNames& shaders);
// upper.md3: surfaces "u_torso" and "u_arms", tags "tag_head" and "tag_weapon".
writers::Md3Model makeTorso(const Build& build, const ShaderNames& shaders);
// head.md3: surface "h_head" and "h_hair" (slender) or "h_helmet" (bulky); tag "tag_head".
writers::Md3Model makeHead(const Build& build, const ShaderNames& shaders);

// Surfaces the game data's characters add to their parts, each named name
// with the given shader; the parts made above never include them.
//
// A cape for upper.md3: one sheet (no back faces) hanging from the shoulders
// and flaring out behind the back and beside the arms, riding on the chest
// over the torso's frames. Seen from the front, only its inner side shows.
writers::Md3Surface makeCape(const Build& build, const std::string& name, const std::string& shader);
// A closed box for head.md3 around the head, half as big again as the skull
// in every direction, so that it hides the head wherever it is drawn.
writers::Md3Surface makeHeadBox(const Build& build, const std::string& name, const std::string& shader);

} // namespace samples
