#pragma once
// The GL font: glyphs of a system face turned into display lists once (1-bit
// bitmaps and extruded outlines, for a single-byte "English" set and a
// double-byte Big5 set), then short texts drawn with the bitmap lists over the
// finished scene. Also home of the character rules both overlay fonts share.
#include "OpglLib/base/Component.h"
#include "OpglLib/base/GOpglDefine.h"
#include "platform/fonts/Fonts.h"
#include "platform/window/GLContext.h"

#include <GL/gl.h>

#include <array>
#include <cstdint>
#include <string>

// The viewer's identification text, three traditional-Chinese characters in
// Big5 (檢視器). The overlay shows it and both fonts are built for it.
inline constexpr const char* kIdentificationText = "\xC0\xCB\xB5\xF8\xBE\xB9";
// The first character of the identification text begins every double-byte
// set; it is drawn for any double-byte character that is not in the set.
inline constexpr const char* kDefaultChtChar = "\xC0\xCB";
// The English set that asks for all 256 single-byte codes (letter case ignored).
inline constexpr const char* kAllEnglish = "All English";

// Character rules of the overlay fonts. A character is one byte, or two when
// the first is a lead byte of the active code page and a second byte follows
// (a lead byte that ends the text stands alone).

// Bytes taken by the character at text (1 or 2); text must not be at its end.
int CharLength(const char* text);
// Number of characters in text; 0 for nil.
int32_t CountChars(const char* text);
// Position of ch (a text of one character) among the characters of set:
// double-byte characters match on both bytes, single bytes on the byte. 0
// when not found, or when ch or set is nil.
int32_t FindGlyphIndex(const char* ch, const char* set);
// Keeps the first occurrence of each character of set, in order. Characters
// are the same when their bytes match with ASCII letters folded to upper
// case. NUL bytes are dropped.
void RemoveDuplicateChars(std::string& set);
// True when text is "All English" in any letter case.
bool IsAllEnglish(const std::string& text);

// Metrics of the outline glyphs, written by the outline builders and read by nobody.
extern std::array<platform::GLYPHMETRICSFLOAT, 256> OutlineGlyphMetrics;

class TGLUniFont : public TComponent<TGLUniFont> {
public:
    static constexpr const char* kClassName = "TGLUniFont";
    static constexpr const char* kUnitName = "OpglUniFont";
    static constexpr bool kRegistersUnit = true;

    // Character-set values the builders pass to the font: English mode is
    // not a system character set; Chinese mode is Big5.
    static constexpr uint8_t kEnglishMode = 100;
    static constexpr uint8_t kChineseMode = platform::CHINESEBIG5_CHARSET;

    GLuint EngBitmapBase = 0;  // list of byte code c: EngBitmapBase + c
    GLuint EngOutlineBase = 0; // list of byte code c: EngOutlineBase + c
    GLuint ChtBitmapBase = 0;  // list of the k-th character of ChtChars: ChtBitmapBase + k
    GLuint ChtOutlineBase = 0;
    TGLColor4f FFontColor{};
    std::string EngChars;
    std::string ChtChars; // the default character, then the given ones, each once
    int32_t ChtCount = 0;
    int32_t EngCount = 0;
    float Extrusion = 0.0f; // depth of the outline glyphs along -z

    // Builds the four list ranges for the English set engChars and the
    // double-byte set chtChars (nil reads as empty), deleting those of an
    // earlier call first. Needs the window's rendering context current; the
    // builders take their fonts themselves, dc names the window's device context.
    void BuildFont(platform::HDC dc, const char* engChars, const char* chtChars);
    // Deletes the four list ranges.
    void ReleaseLists();
    // Draws text with the bitmap glyphs, the first glyph's origin at
    // (x, y + 16) in overlay coordinates (origin bottom-left, desktop pixels
    // stretched over the viewport). A nil text changes nothing; otherwise
    // depth test and lighting state are restored and texturing is left on.
    void DrawText(int32_t x, int32_t y, const char* text);
    // Pixels DrawText advances over text: each single byte by its glyph's
    // advance in the English face, each double-byte character by the em.
    // Measures the face the first time; nil measures 0.
    int32_t TextWidth(const char* text);

    int32_t CharCount(const char* text) const { return CountChars(text); }
    int32_t GlyphIndex(const char* ch, const char* set) const { return FindGlyphIndex(ch, set); }
    void UniqueChars(std::string& set) const { RemoveDuplicateChars(set); }

protected:
    void InitDefaults() override;
    void LoadKeys(const platform::IniFile& ini) override;
    void SaveKeys(platform::IniFile& ini) override;
    void CleanupHook() override;

private:
    void buildBitmapGlyphs(uint8_t mode);
    void buildOutlineGlyphs(uint8_t mode);
    void buildChtBitmaps(const platform::Font& font);

    std::array<int16_t, 256> engAdvances_{};
    bool engMeasured_ = false;
};

// The colour as stored after a load: R, G, B rounded to whole steps of 1/255
// (half to even), A 0.5.
TGLColor4f NormalizeFontColor(const TGLColor4f& color);

// Attribute groups the overlay fonts save around their drawing: current,
// polygon stipple, pixel mode, lighting, depth buffer, accumulation buffer
// and viewport (0x0B71).
inline constexpr GLbitfield kOverlayAttribBits = GL_CURRENT_BIT | GL_POLYGON_STIPPLE_BIT | GL_PIXEL_MODE_BIT |
                                                 GL_LIGHTING_BIT | GL_DEPTH_BUFFER_BIT | GL_ACCUM_BUFFER_BIT |
                                                 GL_VIEWPORT_BIT;
static_assert(kOverlayAttribBits == 0x0B71);

void OpglUniFontInitialization();
void OpglUniFontFinalization();
