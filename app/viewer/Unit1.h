#pragma once
// The viewer's main window: it builds the scene when it is created, advances
// the animation clock on its timer, draws a frame on every tick and input
// event, and turns keys and mouse moves into scene changes.
#include "CharacterSet.h"
#include "ModelFolder.h"

#include "OpglLib/OpglCamera.h"
#include "OpglLib/OpglManage.h"
#include "app/common/Scene.h"
#include "model/Model.h"
#include "platform/system/Dialogs.h"
#include "platform/window/Window.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Folder holding the model folders, absolute, ending with "/".
extern std::string ModelRoot;
extern bool ShowOverlay;
extern bool UseTextureFont;
// Tick count taken at the end of window creation, milliseconds.
extern uint32_t StartTick;
// The animation clock: running mean of the milliseconds since StartTick.
extern uint32_t SmoothedTime;
// The sample character of the model folder and its weapon.
extern Q3Player Player;
extern TMD3Model Weapon;


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
    // What the window shows instead of asking for one of the sample
    // characters of the model folder (character mode); not owned.
    CharacterSet* Characters = nullptr;

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
    // Draws the scene (and the overlay when asked) without presenting it.
    void drawScene(bool overlay);
    void DrawOverlay();
    void drawLine(int y, const std::string& text, float scale);
    CharacterSet& shown() { return Characters ? *Characters : modelFolder_; }
    void applyTitle();
    // Acts on what a key or a drop did to the shown set.
    void apply(SetChange change);
    // Closes the shown set's character and opens its new choice.
    void reopen();
    // Points the camera at the shown set's character, filling the view.
    void frameShown();
    // Hands the shown set a picture of the view without the overlay.
    void saveView();

    platform::Window& window_;
    ModelFolderCharacters modelFolder_{PresetAnswer};
};

// The unit's start: chooses the model folder. Its end releases the character.
void Unit1Initialization();
void Unit1Finalization();
