#include "OpglUniFont.h"

#include "platform/system/CodePage.h"
#include "platform/system/IniFile.h"
#include "platform/system/System.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

std::array<platform::GLYPHMETRICSFLOAT, 256> OutlineGlyphMetrics{};

namespace {

constexpr const char* kFontColorKey = "FFontColor";
constexpr TGLColor4f kDefaultFontColor{0.0f, 0.5f, 0.5f, 1.0f};
constexpr float kDefaultExtrusion = 0.5f;
// Glyph fonts: a 16-pixel em, bold, the face found by name.
constexpr int kGlyphHeight = -16;
constexpr const char* kEnglishFace = "Arial";
// The bitmap glyphs hang below y + 16, the top of a 16-pixel line.
constexpr int32_t kLineRise = 16;

const GLfloat* rgba(const TGLColor4f& color) { return &color.X; }

char upperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Byte code of a character of one or two bytes, as the builders number glyphs.
uint32_t charCode(const char* p, int length)
{
    const auto lead = static_cast<uint8_t>(p[0]);
    return length == 2 ? (uint32_t{lead} << 8 | static_cast<uint8_t>(p[1])) : lead;
}

std::unique_ptr<platform::Font> makeGlyphFont(uint8_t mode)
{
    const char* face = nullptr;
    if (mode == TGLUniFont::kEnglishMode)
        face = kEnglishFace;
    else if (mode == TGLUniFont::kChineseMode)
        face = platform::kBig5MingFaceName;
    else
        return nullptr;
    return platform::CreateFontA(kGlyphHeight, 0, 0, 0, platform::FW_BOLD, false, false, false, mode,
                                 platform::OUT_TT_PRECIS, platform::CLIP_DEFAULT_PRECIS, platform::ANTIALIASED_QUALITY,
                                 0, face);
}

// The Chinese glyphs are 1-bit rows padded to 32 bits. Their layout is read
// with the unpack state in force when the list is compiled, so fix it here.
class Unpack32 {
public:
    Unpack32()
    {
        glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
        glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
        glPixelStorei(GL_UNPACK_LSB_FIRST, GL_FALSE);
    }
    ~Unpack32() { glPopClientAttrib(); }
    Unpack32(const Unpack32&) = delete;
    Unpack32& operator=(const Unpack32&) = delete;
};

} // namespace

int CharLength(const char* text)
{
    return platform::IsDBCSLeadByte(static_cast<uint8_t>(text[0])) && text[1] != '\0' ? 2 : 1;
}

int32_t CountChars(const char* text)
{
    if (!text)
        return 0;
    int32_t count = 0;
    for (const char* p = text; *p != '\0'; p += CharLength(p))
        ++count;
    return count;
}

int32_t FindGlyphIndex(const char* ch, const char* set)
{
    if (!ch || !set || *ch == '\0')
        return 0;
    const int length = CharLength(ch);
    int32_t position = 0;
    for (const char* p = set; *p != '\0'; ++position) {
        const int setLength = CharLength(p);
        if (setLength == length && std::memcmp(p, ch, static_cast<size_t>(length)) == 0)
            return position;
        p += setLength;
    }
    return 0;
}

void RemoveDuplicateChars(std::string& set)
{
    std::string kept;
    std::vector<std::string> seen;
    for (size_t i = 0; i < set.size();) {
        if (set[i] == '\0') {
            ++i;
            continue;
        }
        const size_t length = CharLength(set.c_str() + i);
        const std::string character = set.substr(i, length);
        std::string folded = character;
        for (char& c : folded)
            c = upperAscii(c);
        if (std::find(seen.begin(), seen.end(), folded) == seen.end()) {
            seen.push_back(folded);
            kept += character;
        }
        i += length;
    }
    set = kept;
}

bool IsAllEnglish(const std::string& text)
{
    const std::string all = kAllEnglish;
    if (text.size() != all.size())
        return false;
    for (size_t i = 0; i < all.size(); ++i)
        if (upperAscii(text[i]) != upperAscii(all[i]))
            return false;
    return true;
}

TGLColor4f NormalizeFontColor(const TGLColor4f& color)
{
    return ValueToColor4f(Color4fToValue(color.X, color.Y, color.Z, color.W));
}

void TGLUniFont::InitDefaults()
{
    Extrusion = kDefaultExtrusion;
    FFontColor = kDefaultFontColor;
}

void TGLUniFont::LoadKeys(const platform::IniFile& ini)
{
    platform::ReadBinaryRecord(ini, kClassName, kFontColorKey, &FFontColor, sizeof FFontColor);
    // Only a settings file normalises the colour, key or no key.
    FFontColor = NormalizeFontColor(FFontColor);
}

void TGLUniFont::SaveKeys(platform::IniFile& ini)
{
    ini.WriteBinary(kClassName, kFontColorKey, &FFontColor, sizeof FFontColor);
}

void TGLUniFont::CleanupHook() { ReleaseLists(); }

void TGLUniFont::ReleaseLists()
{
    // A base of 0 was never made (or glGenLists failed); deleting from 0
    // would take other owners' lists with it.
    const std::pair<GLuint&, int32_t> ranges[] = {
        {EngBitmapBase, EngCount}, {EngOutlineBase, EngCount}, {ChtBitmapBase, ChtCount}, {ChtOutlineBase, ChtCount}};
    for (const auto& [base, count] : ranges) {
        if (base != 0 && count > 0)
            glDeleteLists(base, count);
        base = 0;
    }
}

void TGLUniFont::BuildFont([[maybe_unused]] platform::HDC dc, const char* engChars, const char* chtChars)
{
    ReleaseLists();
    EngChars = engChars ? engChars : "";
    ChtChars = std::string(kDefaultChtChar) + (chtChars ? chtChars : "");
    UniqueChars(ChtChars);

    EngCount = 256;
    EngBitmapBase = glGenLists(EngCount);
    EngOutlineBase = glGenLists(EngCount);
    ChtCount = CharCount(ChtChars.c_str());
    ChtBitmapBase = glGenLists(ChtCount);
    ChtOutlineBase = glGenLists(ChtCount);

    if (!EngChars.empty()) {
        buildBitmapGlyphs(kEnglishMode);
        buildOutlineGlyphs(kEnglishMode);
    }
    if (!ChtChars.empty()) {
        buildBitmapGlyphs(kChineseMode);
        buildOutlineGlyphs(kChineseMode);
    }
}

int32_t TGLUniFont::TextWidth(const char* text)
{
    if (!text)
        return 0;
    if (!engMeasured_) {
        engMeasured_ = true;
        if (std::unique_ptr<platform::Font> font = makeGlyphFont(kEnglishMode)) {
            for (uint32_t code = 0; code < engAdvances_.size(); ++code) {
                platform::GLYPHMETRICS metrics{};
                if (platform::GetGlyphOutlineA(*font, code, platform::GGO_METRICS, &metrics, 0, nullptr, nullptr) !=
                    platform::GDI_ERROR)
                    engAdvances_[code] = metrics.gmCellIncX;
            }
        }
    }
    int32_t width = 0;
    for (const char* p = text; *p != '\0'; p += CharLength(p))
        width += CharLength(p) == 2 ? -kGlyphHeight : engAdvances_[static_cast<uint8_t>(*p)];
    return width;
}

void TGLUniFont::buildBitmapGlyphs(uint8_t mode)
{
    std::unique_ptr<platform::Font> font = makeGlyphFont(mode);
    if (!font)
        return;
    if (mode == kChineseMode) {
        buildChtBitmaps(*font);
        return;
    }
    if (EngBitmapBase == 0)
        return;
    if (IsAllEnglish(EngChars)) {
        platform::wglUseFontBitmapsA(*font, 0, 256, EngBitmapBase);
        return;
    }
    for (const char* p = EngChars.c_str(); *p != '\0'; p += CharLength(p))
        if (CharLength(p) == 1)
            platform::wglUseFontBitmapsA(*font, charCode(p, 1), 1, EngBitmapBase + charCode(p, 1));
}

void TGLUniFont::buildChtBitmaps(const platform::Font& font)
{
    if (ChtBitmapBase == 0)
        return;
    // Flip the glyph vertically so that its rows come bottom-up, as glBitmap takes them.
    const platform::MAT2 flip{{0, 1}, {0, 0}, {0, 0}, {0, -1}};
    Unpack32 unpack;
    GLuint k = 0;
    for (const char* p = ChtChars.c_str(); *p != '\0'; p += CharLength(p), ++k) {
        const int length = CharLength(p);
        if (length != 2)
            continue;
        const uint32_t code = charCode(p, length);
        glNewList(ChtBitmapBase + k, GL_COMPILE);
        platform::GLYPHMETRICS metrics{};
        const uint32_t size = platform::GetGlyphOutlineA(font, code, platform::GGO_BITMAP, &metrics, 0, nullptr, &flip);
        if (size != platform::GDI_ERROR) {
            std::vector<uint8_t> bits(size, 0);
            if (size == 0 || platform::GetGlyphOutlineA(font, code, platform::GGO_BITMAP, &metrics, size, bits.data(),
                                                        &flip) == size) {
                // The black box's left edge lies gmptGlyphOrigin.x right of the
                // origin, so the bitmap's origin lies that far left of its corner.
                glBitmap(static_cast<GLsizei>(metrics.gmBlackBoxX), static_cast<GLsizei>(metrics.gmBlackBoxY),
                         static_cast<GLfloat>(-metrics.gmptGlyphOrigin.x),
                         static_cast<GLfloat>(metrics.gmptGlyphOrigin.y), metrics.gmCellIncX, metrics.gmCellIncY,
                         bits.empty() ? nullptr : bits.data());
            }
        }
        glEndList();
    }
}

void TGLUniFont::buildOutlineGlyphs(uint8_t mode)
{
    std::unique_ptr<platform::Font> font = makeGlyphFont(mode);
    if (!font)
        return;
    auto outline = [&](uint32_t first, uint32_t count, GLuint list) {
        platform::wglUseFontOutlinesA(*font, first, count, list, 0.0f, Extrusion, platform::WGL_FONT_POLYGONS,
                                      OutlineGlyphMetrics.data());
    };
    if (mode == kChineseMode) {
        if (ChtOutlineBase == 0)
            return;
        GLuint k = 0;
        for (const char* p = ChtChars.c_str(); *p != '\0'; p += CharLength(p), ++k)
            outline(charCode(p, CharLength(p)), 1, ChtOutlineBase + k);
        return;
    }
    if (EngOutlineBase == 0)
        return;
    if (IsAllEnglish(EngChars)) {
        outline(0, 256, EngOutlineBase);
        return;
    }
    for (const char* p = EngChars.c_str(); *p != '\0'; p += CharLength(p))
        if (CharLength(p) == 1)
            outline(charCode(p, 1), 1, EngOutlineBase + charCode(p, 1));
}

void TGLUniFont::DrawText(int32_t x, int32_t y, const char* text)
{
    if (!text)
        return;
    const GLboolean colorMaterial = glIsEnabled(GL_COLOR_MATERIAL);
    GLint matrixMode = GL_MODELVIEW;
    glGetIntegerv(GL_MATRIX_MODE, &matrixMode);
    glDisable(GL_COLOR_MATERIAL);
    glPushAttrib(kOverlayAttribBits);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);

    const platform::ScreenSize desktop = platform::DesktopSize();
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, desktop.width, 0.0, desktop.height, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();

    // With lighting on, the glyphs take their colour from these materials.
    glMaterialfv(GL_FRONT, GL_AMBIENT, rgba(GLBlack));
    glMaterialfv(GL_FRONT, GL_DIFFUSE, rgba(FFontColor));
    glMaterialfv(GL_FRONT, GL_SPECULAR, rgba(GLBlack));
    glMaterialf(GL_FRONT, GL_SHININESS, GLShininess);
    glMaterialfv(GL_FRONT, GL_EMISSION, rgba(FFontColor));
    glMaterialfv(GL_BACK, GL_AMBIENT_AND_DIFFUSE, rgba(GLBlue));
    glRasterPos2i(x, y + kLineRise);

    glPushAttrib(GL_LIST_BIT);
    for (const char* p = text; *p != '\0';) {
        const int length = CharLength(p);
        // Before BuildFont (or after a failed glGenLists) there are no lists
        // of ours to call; list numbers from 0 belong to others.
        if (length == 2 && ChtBitmapBase != 0) {
            const char ch[3] = {p[0], p[1], '\0'};
            glCallList(ChtBitmapBase + static_cast<GLuint>(GlyphIndex(ch, ChtChars.c_str())));
        } else if (length == 1 && EngBitmapBase != 0) {
            glCallList(EngBitmapBase + static_cast<uint8_t>(*p));
        }
        p += length;
    }
    glPopAttrib();

    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glMatrixMode(static_cast<GLenum>(matrixMode));
    glEnable(GL_TEXTURE_2D);
    glPopAttrib();
    if (colorMaterial)
        glEnable(GL_COLOR_MATERIAL);
    else
        glDisable(GL_COLOR_MATERIAL);
    glMaterialfv(GL_FRONT, GL_EMISSION, rgba(GLBlack));
}

void OpglUniFontInitialization() { TGLUniFont::Create(); }

void OpglUniFontFinalization()
{
    if (TGLUniFont* font = TGLUniFont::Instance())
        font->Free();
}
