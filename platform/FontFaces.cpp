#include "FontFaces.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

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

} // namespace platform
