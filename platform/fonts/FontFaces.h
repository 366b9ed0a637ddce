#pragma once
// Finding a font face by name, as the system's font mapper does: fontconfig
// matches the requested family (with aliases such as "Arial" to a
// metric-compatible face) and FreeType opens the file. Shared by the glyph
// list builders and the bitmap canvas.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

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

// One glyph rendered for a canvas: coverage 0 ... 255 per pixel, rows top
// down, placed relative to the pen on the baseline.
struct CoverageGlyph {
    int left = 0;  // first column right of the pen
    int top = 0;   // first row above the baseline
    unsigned width = 0;
    unsigned rows = 0;
    std::vector<uint8_t> coverage; // width * rows
    int64_t advance = 0;           // whole pixels to the next pen position
};

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

    // The ascent of a text cell at an em of emPixels: the OS/2 "Windows
    // ascent" of TrueType faces (what the system's text output uses), else
    // the face's own ascender; 0 when the face cannot take the size.
    int CellAscent(int emPixels) const;
    // The glyph of a Unicode character at an em of emPixels, antialiased (code
    // 0, or one the face lacks, gives its missing-glyph shape); nothing when
    // the face cannot render it.
    std::optional<CoverageGlyph> RenderCoverage(char32_t code, int emPixels) const;

private:
    FT_FaceRec_* face_ = nullptr;
    bool embolden_ = false;
};

} // namespace platform
