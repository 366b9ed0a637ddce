#pragma once
// Finding a font face by name, as the system's font mapper does: fontconfig
// matches the requested family (with aliases such as "Arial" to a
// metric-compatible face) and FreeType opens the file. Shared by the glyph
// list builders and the bitmap canvas.
#include <memory>
#include <string>

struct FT_FaceRec_;

namespace platform {

// The Big5 bytes of the traditional-Chinese Ming face name.
inline constexpr const char* kBig5MingFaceName = "\xB7\x73\xB2\xD3\xA9\xFA\xC5\xE9";

struct FontMatch {
    std::string file;     // font file path, empty when nothing matched
    int index = 0;        // face index inside a collection file
    bool embolden = false; // bold asked for but the face is regular: embolden glyphs
    std::string family;   // the family that matched
};

// Finds the face for a family name given in the active code page (for
// example "Arial" or the Big5 Ming face name) with the given weight. The
// Ming face has no alias of its own, so it is asked for as [its name,
// "AR PL UMing TW", "serif"] with language zh-tw.
FontMatch MatchFont(const std::string& faceName, bool bold);

// An open FreeType face; released with the object.
class FontFace {
public:
    // Opens the match; check Valid() afterwards.
    explicit FontFace(const FontMatch& match);
    ~FontFace();
    FontFace(const FontFace&) = delete;
    FontFace& operator=(const FontFace&) = delete;

    bool Valid() const { return face_ != nullptr; }
    FT_FaceRec_* Get() const { return face_; }
    bool Embolden() const { return embolden_; }

private:
    FT_FaceRec_* face_ = nullptr;
    bool embolden_ = false;
};

} // namespace platform
