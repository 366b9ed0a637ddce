#pragma once
// A sample game data folder: three characters and a weapon spread over two
// .pk3 archives and loose files, with the quirks real character packs come
// with, so that character mode can be tried and tested on it.
//
// Archives layout:
//   pak0.pk3  models/players/bruno/ and models/players/mira/ (everything),
//             models/weapons2/railgun/, the characters' shader script;
//             folder entries included, images already compressed (JPEG)
//             stored, the rest deflated
//   pak1.pk3  a replacement of one of bruno's images; oskar's three parts
//             and animation.cfg; the weapon's shader script; no folder entries
//   loose     Models/Players/Oskar/ (oskar's skins and images, the folder in
//             other letter case than in pak1.pk3), a skin of mira's with
//             the image it names, overriding her archived skin, and a broken
//             shader script
// Loose layout: what the game sees in the archives layout, every override
// applied, as loose files at the paths of the files that win.
//
// Characters, each in its own colours: bruno (bulky, olive camouflage; skins
// default and red), mira (slender, teal; skins default and blue), oskar
// (bulky with longer limbs and a narrower chest, steel blue; skin default),
// vesta (slender, violet and chrome: every shader effect the game draws, see
// kEffectsCharacter). Every surface has a skin line and every skin line
// names a surface or a tag; every texture path names a shader of the
// scripts/*.shader files or else resolves to an image by one of the rules
// below.
#include <array>
#include <cstdint>
#include <string>

namespace samples {

enum class GameLayout {
    Archives, // two .pk3 archives and loose files
    Loose,    // the same resolved files, loose only
};

inline constexpr char kBruno[] = "bruno";
inline constexpr char kMira[] = "mira";
inline constexpr char kOskar[] = "oskar";
inline constexpr char kVesta[] = "vesta";
inline constexpr char kDefaultSkin[] = "default";
inline constexpr char kBrunoSecondSkin[] = "red";
inline constexpr char kMiraSecondSkin[] = "blue";
inline constexpr char kWeapon[] = "railgun"; // models/weapons2/railgun/railgun.md3; shaders name its images
inline constexpr char kFirstArchive[] = "pak0.pk3";
inline constexpr char kSecondArchive[] = "pak1.pk3";

// A later archive overrides an earlier one: pak1.pk3 holds this image of
// bruno's again, painted mostly in kOverrideColour instead of camouflage.
inline constexpr char kOverriddenImage[] = "models/players/bruno/torso.tga";
inline constexpr std::array<uint8_t, 3> kOverrideColour{255, 120, 0};

// Loose files override archives: this skin of mira's lies loose and names
// kLooseSkinImage (mostly kLooseSkinColour) where the archived skin of the
// same name names kArchivedSkinImage.
inline constexpr char kLooseSkin[] = "models/players/mira/upper_default.skin";
inline constexpr char kLooseSkinImage[] = "models/players/mira/vest.tga";
inline constexpr std::array<uint8_t, 3> kLooseSkinColour{230, 40, 170};
inline constexpr char kArchivedSkinImage[] = "models/players/mira/torso.tga";

// Folders merge ignoring letter case: oskar's parts are in pak1.pk3 under
// kOskarArchiveFolder, his skins and images loose under kOskarLooseFolder.
inline constexpr char kOskarArchiveFolder[] = "models/players/oskar/";
inline constexpr char kOskarLooseFolder[] = "Models/Players/Oskar/";

// A skin naming an image in another character's folder: mira's blue upper
// skin takes her arms from bruno's folder.
inline constexpr char kOtherFolderImage[] = "models/players/bruno/arms_blue.tga";

// A skin path in other letter case than the stored file: mira's default
// lower skin names kOtherCasePath for the stored kOtherCaseImage.
inline constexpr char kOtherCasePath[] = "Models/Players/Mira/Legs.TGA";
inline constexpr char kOtherCaseImage[] = "models/players/mira/legs.tga";

// An image found only under another extension: mira's default head skin
// names kOtherExtensionPath, only kOtherExtensionImage exists.
inline constexpr char kOtherExtensionPath[] = "models/players/mira/head.tga";
inline constexpr char kOtherExtensionImage[] = "models/players/mira/head.jpg";

// Targa kinds (image type, bits per pixel).
inline constexpr char kRunLength24Image[] = "models/players/bruno/legs.tga";       // 10, 24
inline constexpr char kRunLength32Image[] = "models/players/bruno/torso_red.tga";  // 10, 32
inline constexpr char kColourMappedImage[] = "models/players/bruno/legs_red.tga";  // 1, 8 (24-bit map)
inline constexpr char kColourMappedRunLengthImage[] = "models/players/bruno/arms.tga"; // 9, 8, top-left origin
inline constexpr char kGreyImage[] = "models/players/mira/hair_grey.tga";          // 3, 8
inline constexpr char kGreyRunLengthImage[] = "models/players/bruno/helmet.tga";   // 11, 8
inline constexpr char kTopLeftImage[] = "models/players/bruno/head.tga";           // 2, 24, top-left origin

// PNG: oskar's head as RGBA, his helmet as a palette image.
inline constexpr char kPngAlphaImage[] = "Models/Players/Oskar/head.png";
inline constexpr char kPngPaletteImage[] = "Models/Players/Oskar/helmet.png";

// Tag axes of these lengths instead of 1, in the directions of unit axes.
inline constexpr float kBrunoTorsoTagScale = 4.0f;   // tag_torso of bruno's lower.md3
inline constexpr float kBrunoHeadTagScale = 2.5f;    // tag_head of bruno's upper.md3
inline constexpr float kBrunoWeaponTagScale = 30.0f; // tag_weapon of bruno's upper.md3
inline constexpr float kMiraHeadTagScale = 3.0f;     // tag_head of mira's upper.md3

// animation.cfg: bruno's and mira's have CRLF line ends and spaces between
// fields; bruno's has "footsteps boot", "fixedlegs" and "fixedtorso" lines,
// mira's "sex f"; every one "headoffset 0 0 0", comment lines and comments
// after each animation. Oskar's has TABs, LF line ends and a 26th line whose
// frames fit both parts, moved down with the legs lines or not.
inline constexpr int kOskarAnimationLines = 26;

// Shader scripts, by where they lie in the archives layout.
inline constexpr char kCharacterScript[] = "scripts/players.shader"; // pak0.pk3
inline constexpr char kWeaponScript[] = "scripts/railgun.shader";    // pak1.pk3
// A loose script that breaks off (a stage left open) in a draft shader no
// skin uses: the game ignores the whole file, the other scripts still load.
inline constexpr char kBrokenScript[] = "scripts/zz_broken.shader";
// The effects character's script, loose.
inline constexpr char kEffectsScript[] = "scripts/vesta.shader";

// mira's default skin names a shader, no image, for her hair: a lightmap
// stage, then an RGBA image with transparent stripes, alpha-tested with GE128.
// Her blue skin names kGreyImage instead.
inline constexpr char kAlphaTestedSurface[] = "h_hair";
inline constexpr char kAlphaTestedShader[] = "models/players/mira/hair";
inline constexpr char kAlphaTestedImage[] = "models/players/mira/hair_strands.tga";

// The weapon's coils glow: their MD3 shader name is a shader whose animMap
// stage (first image kBlendedImage) is drawn with blendFunc add.
inline constexpr char kBlendedSurface[] = "w_railgun2";
inline constexpr char kBlendedShader[] = "models/weapons2/railgun/railgun2_glow";
inline constexpr char kBlendedImage[] = "models/weapons2/railgun/railgun2.jpg";

// bruno's cape, a surface of his upper.md3 only in the game data: a single
// sheet flaring out behind his back whose shader says "cull none", so its
// inner side shows beside him from the front. His default skin.
inline constexpr char kTwoSidedSurface[] = "u_cape";
inline constexpr char kTwoSidedShader[] = "models/players/bruno/cape";
inline constexpr char kTwoSidedImage[] = "models/players/bruno/cape_cloth.tga";

// bruno's red skin gives the cape a shader ("cull twosided") whose image lies
// in mira's folder; the skin names it with an extension, kOtherFolderShaderPath.
inline constexpr char kOtherFolderShader[] = "models/players/bruno/cape_red";
inline constexpr char kOtherFolderShaderPath[] = "models/players/bruno/cape_red.tga";
inline constexpr char kOtherFolderShaderImage[] = "models/players/mira/cloth_red.tga";

// A closed box half as big again as bruno's head around it, a surface of his
// head.md3 only in the game data, whose shader has "surfaceparm nodraw" and
// no stage: a shader the game cannot draw, which a skin line makes invisible.
// Drawn, it would hide his head.
inline constexpr char kNoDrawSurface[] = "h_bounds";
inline constexpr char kNoDrawShader[] = "models/players/bruno/bounds";

// The effects character: loose in models/players/vesta/, its shaders in
// kEffectsScript, each named after its own image where real packs do so.
// Every keyword of a shader stage and of a shader the game draws models with
// is used by one of its skins: kEffectsSkins, each giving all of its surfaces
// (those of a slender character, a cape and a visor box around the head)
// shaders of one theme.
inline constexpr char kEffectsCharacter[] = "vesta";
inline constexpr std::array<const char*, 4> kEffectsSkins{"default", "motion", "entity", "tables"};

// Writes the game folder below gameRoot, creating folders as needed; the
// bytes are the same on every run. Throws platform::EInOutError when a file
// cannot be written.
void writeSampleGame(const std::string& gameRoot, GameLayout layout);

} // namespace samples
