#pragma once
// The texture text font: every glyph of a character set is painted into a
// 32 x 32 cell of a glyph sheet, the sheet and a black-and-white mask of it
// become textures, and one display list per character draws a quad mapped
// onto its cell. Text is drawn quad by quad, in up to two blended passes: the
// mask pass darkens the scene under the glyphs, the colour pass adds them.
#include "OpglTexture.h"
#include "OpglUniFont.h"

#include "OpglLib/base/Component.h"
#include "OpglLib/base/GOpglDefine.h"

#include <GL/gl.h>

#include <cstdint>
#include <string>

// Cell grid of a glyph sheet: 16 columns once there are 16 characters or
// more, otherwise one row of n cells.
struct TGlyphSheetLayout {
    int32_t Cols = 0;
    int32_t Rows = 0;
};
TGlyphSheetLayout GlyphSheetLayout(int32_t charCount);

class TGLTxtFont : public TComponent<TGLTxtFont> {
public:
    static constexpr const char* kClassName = "TGLTxtFont";
    static constexpr const char* kUnitName = "OpglTxtFont";
    static constexpr bool kRegistersUnit = true;

    static constexpr int32_t kCellSize = 32;         // cell side in pixels and in text units
    static constexpr float kSingleAdvance = 16.0f;   // per single-byte character, before scaling
    static constexpr float kDoubleAdvance = 64.0f / 3.0f; // per double-byte character

    GLuint EngListBase = 0; // quad of byte code c: EngListBase + c
    GLuint ChtListBase = 0; // quad of the k-th character of ChtChars: ChtListBase + k
    TGLColor4f AmbientShade{};  // ambient material of colour mode 1
    TGLColor4f FFontColor{};
    TGLColor4f SpecularShade{}; // specular material of colour mode 1
    std::string EngChars;
    std::string ChtChars; // the default character, then the given ones, each once
    int32_t ChtCount = 0;
    int32_t EngCount = 0;
    // 0: glyphs over a blackened cell; 1: lit glyphs; 2: added glyphs;
    // 3: glyphs over a cell tinted with the font colour.
    uint8_t ColorMode = 0;
    TColorValue SheetColor = 0; // colour the glyphs are painted in
    TGLTexture ChtTexture;
    TGLTexture ChtMaskTexture;
    TGLTexture EngTexture;
    TGLTexture EngMaskTexture;

    // Builds the quad lists, glyph sheets and textures for the English set
    // engChars and the double-byte set chtChars (nil reads as empty). Needs
    // the window's rendering context current and the texture manager made.
    // A sheet that cannot be made leaves its set's textures cleared.
    void BuildFont(const char* engChars, const char* chtChars);
    // Calls of BuildFont in this process: a build paints two glyph sheets,
    // so code that draws many pictures is held to one build per run.
    static uint32_t Builds() { return builds_; }
    // Draws text with its first cell's lower-left corner at (x, y) in overlay
    // coordinates, each cell scaled by scale. A nil text changes nothing;
    // otherwise texture generation is left off and depth testing on.
    void DrawText(uint32_t x, uint32_t y, const char* text, float scale);
    // Releases the four textures and deletes both list ranges.
    void ReleaseAll();

    int32_t CharCount(const char* text) const { return CountChars(text); }
    int32_t GlyphIndex(const char* ch, const char* set) const { return FindGlyphIndex(ch, set); }
    void UniqueChars(std::string& set) const { RemoveDuplicateChars(set); }

protected:
    void InitDefaults() override;
    void LoadKeys(const platform::IniFile& ini) override;
    void SaveKeys(platform::IniFile& ini) override;
    void CleanupHook() override;

private:
    void deleteLists();
    void buildEngLists();
    void buildChtLists();
    void buildSheet(bool english, const char* face, TColorValue color);
    void drawPass(const char* text, bool maskPass);

    static inline uint32_t builds_ = 0;
};

void OpglTxtFontInitialization();
void OpglTxtFontFinalization();
