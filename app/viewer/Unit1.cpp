#include "Unit1.h"

#include "SetOverlay.h"

#include "OpglLib/MaterialDefine.h"
#include "OpglLib/OpglLight.h"
#include "OpglLib/OpglTxtFont.h"
#include "OpglLib/OpglUniFont.h"
#include "OpglLib/QueltoLogo.h"
#include "app/common/PoseFraming.h"
#include "app/common/Scene.h"
#include "platform/system/Dialogs.h"
#include "platform/system/Random.h"
#include "platform/system/System.h"
#include "platform/window/GLContext.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

std::string ModelRoot;
bool ShowOverlay = true;
bool UseTextureFont = true;
uint32_t StartTick = 0;
uint32_t SmoothedTime = 0;
Q3Player Player;
TMD3Model Weapon;

namespace {

constexpr uint32_t kStartIntervalMs = 1;
constexpr uint32_t kIntervalStepMs = 30;
constexpr uint32_t kLongestIntervalMs = 1000;
constexpr int kOverlayX = 20;

std::string format(const char* pattern, double a, double b, double c, double d, double e, double f)
{
    char buf[256];
    std::snprintf(buf, sizeof buf, pattern, a, b, c, d, e, f);
    return buf;
}

// The distance from a camera's eye to its view point.
double distanceOf(const TGLCameraRec& rec)
{
    const double x = rec.Eye.X - rec.View.X, y = rec.Eye.Y - rec.View.Y, z = rec.Eye.Z - rec.View.Z;
    return std::sqrt(x * x + y * y + z * z);
}

// point moved by distance along the unit vector direction.
TGLPoint4f moved(const TGLPoint4f& point, const TGLPoint4f& direction, double distance)
{
    return Point4f(static_cast<float>(point.X + direction.X * distance),
                   static_cast<float>(point.Y + direction.Y * distance),
                   static_cast<float>(point.Z + direction.Z * distance));
}

} // namespace

TForm1::TForm1(platform::Window& window) : window_(window)
{
    Timer1.SetInterval(kStartIntervalMs);
    Timer1.SetEnabled(true);
    Timer1.OnTimer = [this] { Timer1Timer(); };
    window_.OnResize = [this] { FormResize(); };
    window_.OnKeyDown = [this](uint16_t& key, platform::TShiftState shift) { FormKeyDown(key, shift); };
    window_.OnMouseDown = [this](platform::TMouseButton b, platform::TShiftState s, int x, int y) {
        FormMouseDown(b, s, x, y);
    };
    window_.OnMouseMove = [this](platform::TShiftState s, int x, int y) { FormMouseMove(s, x, y); };
    window_.OnMouseWheel = [this](platform::TShiftState s, int d, int x, int y, bool& handled) {
        FormMouseWheel(s, d, x, y, handled);
    };
    window_.OnDropFile = [this](const std::string& path) {
        if (!Characters)
            return;
        apply(Characters->Drop(path));
        DrawFrame();
    };
}

void TForm1::FormCreate()
{
    KeyPreview = true;
    TGLManager::Instance()->CreateContext(window_.Handle(), ContextRec);
    TGLUniFont::Instance()->BuildFont(ContextRec.DC, kAllEnglish, kIdentificationText);
    TGLTxtFont::Instance()->BuildFont(kAllEnglish, kIdentificationText);

    TGLCamera::Instance()->InitCamera(CameraRec, TGLViewDir::vdUser, StartEye(), StartViewPoint(), SceneSize * 5);
    PlaceSceneLights();

    TGLQueltoLogo* logo = TGLQueltoLogo::Instance();
    logo->FLogoWidth = SceneSize / 2;
    logo->LogoSwitch = false;
    logo->LogoStyle = 0;
    logo->LogoSwitch = false;
    logo->LogoStyle = 5;
    logo->LogoMaterial = MaterialTable[7];
    logo->FMixRate = 0.8f;
    logo->FMixLogoColor = true;

    glEnable(GL_TEXTURE_2D);
    Timer1.SetEnabled(false);

    applyTitle();
    {
        // Messages of the loaders are load problems (a scripted run says so).
        const platform::LoadWatch watch;
        shown().Open();
    }
    frameShown();
    Timer1.SetEnabled(true);
    StartTick = platform::GetTickCount();
}

void TForm1::FormDestroy()
{
    // The characters' textures go while their context is still there.
    shown().Close();
    TGLManager::Instance()->ReleaseContext(ContextRec);
}

void TForm1::applyTitle()
{
    const std::string title = shown().Title();
    if (!title.empty())
        window_.SetCaption(title);
}

void TForm1::apply(SetChange change)
{
    switch (change) {
    case SetChange::NewCharacter:
        reopen();
        frameShown();
        break;
    case SetChange::NewSkin:
        reopen();
        break;
    case SetChange::Frame:
        frameShown();
        break;
    case SetChange::SaveView:
        saveView();
        break;
    default:
        break;
    }
}

void TForm1::reopen()
{
    CharacterSet& set = shown();
    set.Close();
    // The new character starts its animations afresh.
    StartTick = platform::GetTickCount();
    SmoothedTime = 0;
    applyTitle();
    const platform::LoadWatch watch;
    set.Open();
}

void TForm1::frameShown()
{
    const TMD3Model* root = shown().FramedModel(static_cast<float>(SmoothedTime / 1000.0));
    if (!root)
        return;
    const int width = std::max(window_.ClientWidth(), 1), height = std::max(window_.ClientHeight(), 1);
    // The character fills what the overlay leaves free below it.
    const int covered = ShowOverlay ? std::min(LayOutSetOverlay(shown().OverlayLines(), width, height).height,
                                               height / 2)
                                    : 0;
    const StartView view = SceneStartView();
    const ViewAxes axes = StartViewAxes(view);
    try {
        const float fill = kPictureFill * static_cast<float>(height - covered) / static_cast<float>(height);
        const TGLCameraRec framed = FramePose(PoseAlong(*root, axes, shown().MeshesDrawingNothing()), axes, view, 0,
                                                  width, height, fill);
        // Only the camera's place: the window keeps its own view volume,
        // which holds the lights and the axes too. Raising eye and view point
        // together lowers the picture by half the covered rows (exactly at
        // the view point's depth).
        const double lift = static_cast<double>(covered) / height * distanceOf(framed) *
                            std::tan(framed.Fov * std::numbers::pi / 360.0);
        CameraRec.Eye = moved(framed.Eye, framed.Up, lift);
        CameraRec.View = moved(framed.View, framed.Up, lift);
        CameraRec.Up = framed.Up;
    } catch (const NothingToDraw&) {
        // Nothing drawn to frame: the camera stays where it is.
    }
}

void TForm1::saveView()
{
    const int width = window_.ClientWidth(), height = window_.ClientHeight();
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 3);
    drawScene(false);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    // The frame drawn next, with its overlay, replaces this one unseen.
    shown().SaveView(width, height, pixels);
}

void TForm1::FormResize()
{
    TGLCamera* camera = TGLCamera::Instance();
    camera->SetViewport(CameraRec, 0, 0, window_.ClientWidth(), window_.ClientHeight());
    camera->ApplyProjection(CameraRec);
}

void TForm1::Timer1Timer()
{
    const uint32_t elapsed = platform::GetTickCount() - StartTick;
    SmoothedTime = (SmoothedTime + elapsed) >> 1;
    DrawFrame();
}

void TForm1::DrawFrame()
{
    drawScene(ShowOverlay);
    platform::SwapBuffers(ContextRec.DC);
}

void TForm1::drawScene(bool overlay)
{
    TGLCamera::Instance()->ApplyView(CameraRec);
    TGLManager* manager = TGLManager::Instance();
    manager->ClearBuffers();
    TGLLighter::Instance()->DrawLights(true, 10.0f);

    glPushMatrix();
    // The model's Z-up coordinates stand upright in the Y-up scene.
    glRotatef(-90.0f, 1.0f, 0.0f, 0.0f);
    shown().Draw(static_cast<float>(SmoothedTime / 1000.0));
    glPopMatrix();
    // The meshes leave their last texture bound; with texturing on for the
    // whole run it would tint the axes and the cross by one stray texel.
    glBindTexture(GL_TEXTURE_2D, 0);

    switch (shown().Axes()) {
    case SceneAxes::Described:
        manager->DrawAxis(SceneSize / 5);
        break;
    case SceneAxes::Lines: {
        const bool planes = manager->ShowAxisPlanes;
        manager->ShowAxisPlanes = false;
        manager->DrawAxis(SceneSize / 5);
        manager->ShowAxisPlanes = planes;
        break;
    }
    case SceneAxes::Hidden:
        break;
    }
    manager->DrawCross(CameraRec.View, 5.0f);
    if (overlay)
        DrawOverlay();
}

void TForm1::drawLine(int y, const std::string& text, float scale)
{
    if (UseTextureFont)
        TGLTxtFont::Instance()->DrawText(kOverlayX, y, text.c_str(), scale);
    else
        TGLUniFont::Instance()->DrawText(kOverlayX, y, text.c_str());
}

void TForm1::DrawOverlay()
{
    // The overlay's text is drawn lit: it takes the normal the axes' planes
    // leave, whether or not they were drawn (or the character's last one would
    // darken it).
    glNormal3f(1.0f, 0.0f, 0.0f);
    const std::vector<std::string> setLines = shown().OverlayLines();
    if (!setLines.empty()) {
        const int width = window_.ClientWidth(), height = window_.ClientHeight();
        DrawSetOverlay(LayOutSetOverlay(setLines, width, height), width, height);
        return;
    }
    TGLLighter* lighter = TGLLighter::Instance();
    drawLine(20, lighter->IsLightingOn() ? "[L]:Light On" : "[L]:Light Off", 1.0f);

    std::string lights = "[0~1]:";
    const int count = lighter->MaxLights();
    for (int i = 0; i < count; ++i) {
        char item[32];
        std::snprintf(item, sizeof item, lighter->IsLightOn(i) ? "L%d:On - " : "L%d:Off - ", i);
        lights += item;
    }
    drawLine(50, lights, 0.7f);

    char pose[64];
    std::snprintf(pose, sizeof pose, "[M]:Pose Change - %s", "");
    drawLine(80, pose, 1.0f);

    drawLine(110,
             format("Eye (%.1f,%.1f,%.1f) --> View (%.1f,%.1f,%.1f)", CameraRec.Eye.X, CameraRec.Eye.Y,
                    CameraRec.Eye.Z, CameraRec.View.X, CameraRec.View.Y, CameraRec.View.Z),
             1.0f);

    char speed[64];
    std::snprintf(speed, sizeof speed, "[PgUp/PgDn]: Speed Up/Down %d msec", static_cast<int>(Timer1.Interval()));
    drawLine(140, speed, 1.0f);
    drawLine(170, kIdentificationText, 1.0f);
}

void TForm1::FormKeyDown(uint16_t& key, platform::TShiftState shift)
{
    TGLLighter* lighter = TGLLighter::Instance();
    switch (key) {
    case platform::VK_SPACE:
        Timer1.SetEnabled(!Timer1.Enabled());
        shown().SetPaused(!Timer1.Enabled());
        break;
    case platform::VK_PRIOR:
        Timer1.SetInterval(Timer1.Interval() <= kIntervalStepMs ? 1 : Timer1.Interval() - kIntervalStepMs);
        break;
    case platform::VK_NEXT: {
        uint32_t slower = Timer1.Interval() + kIntervalStepMs;
        Timer1.SetInterval(slower > kLongestIntervalMs ? kLongestIntervalMs : slower);
        break;
    }
    case 'B':
        TGLManager::Instance()->SetBlending(!TGLManager::Instance()->BlendEnabled);
        break;
    case 'C':
        TGLQueltoLogo::Instance()->LogoSwitch = !TGLQueltoLogo::Instance()->LogoSwitch;
        break;
    case 'F':
        UseTextureFont = !UseTextureFont;
        break;
    case 'L':
        if (lighter->IsLightingOn())
            lighter->LightingOff();
        else
            lighter->LightingOn();
        break;
    case 'M':
        platform::Randomize();
        shown().SetPose(platform::Random(25));
        break;
    case 'R':
        lighter->RandomSwitchLights();
        break;
    case 'S':
        lighter->SetTwoSide(!lighter->TwoSide);
        break;
    case 'T':
        ShowOverlay = !ShowOverlay;
        break;
    case 'Z': {
        TGLTxtFont* font = TGLTxtFont::Instance();
        font->ColorMode = static_cast<uint8_t>((font->ColorMode + 1) % 4);
        break;
    }
    default:
        // Main-row digits 0 ... 7 switch single lights; 8, 9, the keypad and
        // the keys no one takes only redraw.
        if (key >= platform::VK_0 && key <= platform::VK_0 + 7) {
            const int light = key - platform::VK_0;
            lighter->SetLightOn(light, !lighter->IsLightOn(light));
        } else {
            apply(shown().HandleKey(key, shift));
        }
        break;
    }
    DrawFrame();
}

void TForm1::FormMouseDown(platform::TMouseButton, platform::TShiftState, int x, int y) { MouseDownAt(x, y); }

void TForm1::FormMouseMove(platform::TShiftState shift, int x, int y)
{
    MouseMoveCamera(shift, x, y, CameraRec);
    DrawFrame();
}

void TForm1::FormMouseWheel(platform::TShiftState, int wheelDelta, int, int, bool&)
{
    MouseWheelZoom(wheelDelta, CameraRec);
    DrawFrame();
}

void Unit1Initialization()
{
    // Relative to the current folder, not the executable's; under a debugger
    // the batch runner has made the project folder current.
    ModelRoot = platform::IsDebuggerPresent() ? platform::ExpandFileName("./ReleaseQuillmo/Model/")
                                              : platform::ExpandFileName("./Model/");
}

void Unit1Finalization()
{
    Weapon = TMD3Model{};
    Player = Q3Player{};
    ModelRoot.clear();
}
