#include "FontFaces.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <mutex>

namespace platform {

namespace {

FT_Library library()
{
    static FT_Library lib = nullptr;
    static std::once_flag once;
    std::call_once(once, [] {
        if (FT_Init_FreeType(&lib) != 0)
            lib = nullptr;
    });
    return lib;
}

struct PatternDeleter {
    void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
using PatternPtr = std::unique_ptr<FcPattern, PatternDeleter>;

} // namespace

FontMatch MatchFont(const std::string& faceName, bool bold)
{
    FontMatch result;
    if (!FcInit())
        return result;
    PatternPtr pattern(FcPatternCreate());
    if (!pattern)
        return result;
    if (faceName == kBig5MingFaceName) {
        FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>("新細明體"));
        FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>("AR PL UMing TW"));
        FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>("serif"));
        FcPatternAddString(pattern.get(), FC_LANG, reinterpret_cast<const FcChar8*>("zh-tw"));
    } else {
        FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(faceName.c_str()));
    }
    FcPatternAddInteger(pattern.get(), FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    FcResult status = FcResultNoMatch;
    PatternPtr match(FcFontMatch(nullptr, pattern.get(), &status));
    if (!match)
        return result;
    FcChar8* file = nullptr;
    if (FcPatternGetString(match.get(), FC_FILE, 0, &file) == FcResultMatch && file)
        result.file = reinterpret_cast<const char*>(file);
    int index = 0;
    if (FcPatternGetInteger(match.get(), FC_INDEX, 0, &index) == FcResultMatch)
        result.index = index;
    FcBool embolden = FcFalse;
    if (FcPatternGetBool(match.get(), FC_EMBOLDEN, 0, &embolden) == FcResultMatch)
        result.embolden = embolden == FcTrue;
    FcChar8* family = nullptr;
    if (FcPatternGetString(match.get(), FC_FAMILY, 0, &family) == FcResultMatch && family)
        result.family = reinterpret_cast<const char*>(family);
    return result;
}

FontFace::FontFace(const FontMatch& match) : embolden_(match.embolden)
{
    FT_Library lib = library();
    if (!lib || match.file.empty())
        return;
    FT_Face face = nullptr;
    if (FT_New_Face(lib, match.file.c_str(), match.index, &face) == 0)
        face_ = face;
}

FontFace::~FontFace()
{
    if (face_)
        FT_Done_Face(face_);
}

int FontFace::CellAscent(int emPixels) const
{
    if (!face_ || FT_Set_Pixel_Sizes(face_, 0, emPixels) != 0)
        return 0;
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face_, FT_SFNT_OS2));
    if (os2 && FT_IS_SCALABLE(face_) && face_->size) {
        FT_Long scaled = FT_MulFix(os2->usWinAscent, face_->size->metrics.y_scale);
        return static_cast<int>((scaled + 32) >> 6);
    }
    return face_->size ? static_cast<int>((face_->size->metrics.ascender + 32) >> 6) : 0;
}

std::optional<CoverageGlyph> FontFace::RenderCoverage(char32_t code, int emPixels) const
{
    if (!face_ || FT_Set_Pixel_Sizes(face_, 0, emPixels) != 0)
        return std::nullopt;
    // Glyph 0 is the face's missing-glyph shape, drawn for codes it lacks.
    const FT_UInt glyph = code != 0 ? FT_Get_Char_Index(face_, code) : 0;
    if (FT_Load_Glyph(face_, glyph, FT_LOAD_NO_BITMAP) != 0)
        return std::nullopt;
    FT_GlyphSlot slot = face_->glyph;
    if (embolden_)
        FT_GlyphSlot_Embolden(slot);
    if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0)
        return std::nullopt;
    CoverageGlyph result;
    result.left = slot->bitmap_left;
    result.top = slot->bitmap_top;
    result.advance = (slot->advance.x + 32) >> 6;
    const FT_Bitmap& image = slot->bitmap;
    const bool mono = image.pixel_mode == FT_PIXEL_MODE_MONO;
    if ((mono || image.pixel_mode == FT_PIXEL_MODE_GRAY) && image.pitch > 0) {
        result.width = image.width;
        result.rows = image.rows;
        result.coverage.resize(static_cast<size_t>(image.width) * image.rows);
        for (unsigned row = 0; row < image.rows; ++row) {
            const uint8_t* src = image.buffer + static_cast<size_t>(row) * image.pitch;
            uint8_t* dst = result.coverage.data() + static_cast<size_t>(row) * image.width;
            for (unsigned col = 0; col < image.width; ++col)
                dst[col] = mono ? static_cast<uint8_t>(((src[col >> 3] >> (7 - (col & 7))) & 1) * 255) : src[col];
        }
    }
    return result;
}

} // namespace platform
