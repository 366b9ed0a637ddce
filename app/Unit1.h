#pragma once
// The viewer's main window: it builds the scene when it is created, advances
// the animation clock on its timer, draws a frame on every tick and input
// event, and turns keys and mouse moves into scene changes.
#include "OpglLib/OpglCamera.h"
#include "OpglLib/OpglManage.h"
#include "model/Model.h"
#include "platform/Dialogs.h"
#include "platform/Window.h"

#include <cstdint>
#include <optional>
#include <string>

// Folder holding the model folders, absolute, ending with "/".
extern std::string ModelRoot;
// Scale from which the camera, the lights, the axes and the logo width follow.
extern float SceneSize;
extern bool ShowOverlay;
extern bool UseTextureFont;
// Tick count taken at the end of window creation, milliseconds.
extern uint32_t StartTick;
// The animation clock: running mean of the milliseconds since StartTick.
extern uint32_t SmoothedTime;
extern Q3Player Player;
extern TMD3Model Weapon;

class CharacterMode;

// The camera the window starts with: from the front right and above the
// character, looking at a point a little above the origin; the eye's place
// scales with SceneSize.
TGLPoint4f StartEye();
TGLPoint4f StartViewPoint();
// Places the scene's lights around the origin, scaled by SceneSize, and
// switches lighting on; needs the GL context.
void PlaceSceneLights();

// Text of the start question and the character folders.
inline constexpr const char* kLoadQuestion = "Load Model Lara(Yes) or Sarge(No).%s";

class TForm1 {
public:
    explicit TForm1(platform::Window& window);

    platform::Timer Timer1;
    TGLContextRec ContextRec{};
    TGLCameraRec CameraRec{};
    bool KeyPreview = true;
    // Answer given on the command line instead of asking.
    std::optional<platform::DialogAnswer> PresetAnswer;
    // Character mode, when the window shows a character of game data instead
    // of asking for one of the sample characters; not owned.
    CharacterMode* Characters = nullptr;

    void FormCreate();
    void FormDestroy();
    void FormResize();
    void Timer1Timer();
    void FormKeyDown(uint16_t& key, platform::TShiftState shift);
    void FormMouseDown(platform::TMouseButton button, platform::TShiftState shift, int x, int y);
    void FormMouseMove(platform::TShiftState shift, int x, int y);
    void FormMouseWheel(platform::TShiftState shift, int wheelDelta, int x, int y, bool& handled);

    // Draws one complete frame and presents it.
    void DrawFrame();

    platform::Window& Window() { return window_; }

private:
    void DrawOverlay();
    void drawLine(int y, const std::string& text, float scale);

    platform::Window& window_;
};

// The unit's start: chooses the model folder. Its end releases the character.
void Unit1Initialization();
void Unit1Finalization();
