#include "SetOverlay.h"

#include "OpglLib/OpglUniFont.h"
#include "platform/system/System.h"

#include <GL/gl.h>

#include <algorithm>

namespace {

// Window pixels: the margin round the lines and the height of a row of the
// GL font (16-pixel glyphs).
constexpr int kMarginPx = 8;
constexpr int kRowPx = 18;
constexpr const char* kMoreRowsMark = "...";
// The panel darkens what lies under the text without hiding it.
constexpr GLfloat kPanelOpacity = 0.4f;

std::vector<std::string> wrapped(const std::string& text, int maxWidth, TGLUniFont& font)
{
    std::vector<std::string> pieces;
    size_t start = 0, lastSpace = std::string::npos;
    int width = 0;
    for (size_t at = 0; at < text.size();) {
        const size_t length = static_cast<size_t>(CharLength(text.c_str() + at));
        const int advance = font.TextWidth(text.substr(at, length).c_str());
        if (width + advance > maxWidth && at > start) {
            const size_t cut = lastSpace != std::string::npos ? lastSpace : at;
            pieces.push_back(text.substr(start, cut - start));
            start = lastSpace != std::string::npos ? cut + 1 : cut;
            lastSpace = std::string::npos;
            width = font.TextWidth(text.substr(start, at - start).c_str());
            continue;
        }
        if (text[at] == ' ')
            lastSpace = at;
        width += advance;
        at += length;
    }
    pieces.push_back(text.substr(start));
    return pieces;
}

void drawPanel(int width, int height, int right, int bottom)
{
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_COLOR_BUFFER_BIT | GL_VIEWPORT_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, width, 0.0, height, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glColor4f(0.0f, 0.0f, 0.0f, kPanelOpacity);
    glRectf(0.0f, static_cast<GLfloat>(bottom), static_cast<GLfloat>(right), static_cast<GLfloat>(height));
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopAttrib();
}

} // namespace

SetOverlayLayout LayOutSetOverlay(const std::vector<std::string>& lines, int width, int height)
{
    SetOverlayLayout layout;
    TGLUniFont* font = TGLUniFont::Instance();
    for (const std::string& line : lines)
        for (std::string& piece : wrapped(line, width - 2 * kMarginPx, *font))
            layout.rows.push_back(std::move(piece));
    const size_t fit = static_cast<size_t>(std::max((height - 2 * kMarginPx) / kRowPx, 1));
    if (layout.rows.size() > fit) {
        layout.rows.resize(fit);
        layout.rows.back() = kMoreRowsMark;
    }
    for (const std::string& row : layout.rows)
        layout.widest = std::max(layout.widest, font->TextWidth(row.c_str()));
    layout.height = layout.rows.empty() ? 0 : static_cast<int>(layout.rows.size()) * kRowPx + 2 * kMarginPx;
    return layout;
}

void DrawSetOverlay(const SetOverlayLayout& layout, int width, int height)
{
    if (layout.rows.empty())
        return;
    width = std::max(width, 1), height = std::max(height, 1);
    drawPanel(width, height, layout.widest + 2 * kMarginPx, height - layout.height);
    // Overlay coordinates are desktop pixels stretched over the window.
    const platform::ScreenSize desktop = platform::DesktopSize();
    const double unitsX = static_cast<double>(desktop.width) / width;
    const double unitsY = static_cast<double>(desktop.height) / height;
    TGLUniFont* font = TGLUniFont::Instance();
    for (size_t row = 0; row < layout.rows.size(); ++row) {
        const int bottomPx = height - kMarginPx - static_cast<int>(row + 1) * kRowPx;
        font->DrawText(static_cast<int32_t>(kMarginPx * unitsX), static_cast<int32_t>(bottomPx * unitsY),
                       layout.rows[row].c_str());
    }
}
