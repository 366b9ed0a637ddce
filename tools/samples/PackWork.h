#pragma once
// A character maker's work folder, ready to be packed for release, and the
// base game it will be laid over:
//
//   DIR/base/   the sample game data (SampleGame.h), the game's own data
//   DIR/work/   the maker's work root: models/players/kestrel/ and what it
//               needs elsewhere (a script, sounds), with work files beside
//
// kestrel (bulky, rust red) has two skins, default and the team skin red; a
// level of detail of its legs that names an image of its own; a torso shader
// whose stage names a .tga of which only a .png exists; a visor shader
// cycling through two images; arms a skin line names in another letter case
// than the file; a head image copied unchanged from a character of the base
// game; a cape that names a shader of the base game, which the maker's
// script defines again otherwise; and three of the game's player sounds, one
// of them in another format than the game names. Beside them lie leftovers
// the game never reads: a painting program's file, notes, an old image, a
// sound the game has no use for, an old model, and a shader of another pack
// in the same script.
#include <string>

namespace samples {

inline constexpr char kPackCharacter[] = "kestrel";
inline constexpr char kPackBaseFolder[] = "base";
inline constexpr char kPackWorkFolder[] = "work";
// The maker's script, defining the character's shaders and others.
inline constexpr char kPackWorkScript[] = "scripts/kestrel_work.shader";
// The base game's shader the maker's script defines again.
inline constexpr char kPackShadowedShader[] = "models/players/bruno/cape";
// The only image the maker's own definition of it names.
inline constexpr char kPackShadowImage[] = "models/players/kestrel/cape.tga";

// Writes DIR/base and DIR/work.
void writePackWork(const std::string& dir);

} // namespace samples
