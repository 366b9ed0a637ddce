#pragma once
// Character mode: the viewer on a character of game data (a game folder, a
// .pk3 archive or a character folder), loaded and played as the game does,
// with keys to step through the character's skins and the game's characters,
// to choose its torso and legs animations and step their frames, and a
// window that opens what is dropped on it. Problems met while loading never
// stop the user with a box: they are gathered per character, written to
// standard error, counted in the overlay and listed on demand.
#include "app/common/CharacterChoice.h"
#include "app/common/CommandLine.h"
#include "app/viewer/CharacterSet.h"
#include "model/Model.h"
#include "platform/system/Dialogs.h"

#include <algorithm>
#include <string>
#include <vector>

// True for what a message says of the machine rather than of a character
// (the window found no OpenGL hardware).
bool IsMachineFact(const platform::RecordedMessage& message);

// The character mode of one window: the character of its choice with its
// weapon and their textures.
class CharacterMode : public CharacterSet {
public:
    // The character the options name, resolved with the mode's gathering of
    // problems already in place (those of mounting its game data included).
    // Throws CharacterError as ResolveCharacterChoice does.
    explicit CharacterMode(const CommandLine& options);
    explicit CharacterMode(CharacterChoice choice);
    // The weapon hangs on the torso by address: the mode stays where it is made.
    CharacterMode(const CharacterMode&) = delete;
    CharacterMode& operator=(const CharacterMode&) = delete;

    // Loads the character and its weapon on its chosen animations; what
    // cannot be loaded becomes a problem of the character. Throws nothing.
    void Open() override;
    // Frees the character's textures and empties the character and weapon;
    // needs the GL context.
    void Close() override;
    void Draw(float seconds) override;
    void SetPose(uint32_t animation) override;
    // "Quillmo — NAME (SKIN)".
    std::string Title() const override;
    // N / Shift+N: next / previous skin; P / Shift+P: next / previous
    // character; Up / Down: next / previous torso animation; Right / Left:
    // next / previous legs animation; Period / Comma: one frame on / back
    // while paused; Home: frame the character; E: show or hide the problems;
    // F12: save the view; G: the game's light or the viewer's eight lights.
    SetChange HandleKey(uint16_t key, platform::TShiftState shift) override;
    // Opens a dropped path like PATH; a path that cannot be opened leaves the
    // character as it is and the overlay says why.
    SetChange Drop(const std::string& path) override;
    void SetPaused(bool paused) override { paused_ = paused; }
    const TMD3Model* FramedModel(float seconds) override;
    std::unordered_set<const TMesh*> MeshesDrawingNothing() const override;
    // The character and skin, the torso's and the legs' animations with
    // their frames and rates, the clock, the light, the problems, the last
    // picture saved and the keys; then the problems themselves when shown.
    std::vector<std::string> OverlayLines() const override;
    // Saves the picture as "quillmo-NAME-SKIN-N.png" (SaveViewPicture) and
    // names the file in the overlay.
    void SaveView(int width, int height, const std::vector<uint8_t>& rgb) override;
    // The axes as lines only, which stand inside the character's hips
    // without hiding it; X hides and shows them.
    SceneAxes Axes() const override { return axesShown_ ? SceneAxes::Lines : SceneAxes::Hidden; }

    // Which light the character is drawn in, as the overlay names it.
    std::string LightDescription() const;

    const CharacterChoice& Choice() const { return choice_; }
    // The character and weapon shown.
    const GamePlayer& ShownPlayer() const { return player_; }
    const GamePart& ShownWeapon() const { return weapon_; }
    // GL textures the character holds.
    size_t TextureCount() const { return textures_.Count(); }
    // The problems of the character shown: those of its game data and of the
    // program first, then those met loading the character itself.
    std::vector<platform::RecordedMessage> Problems() const;

private:
    SetChange stepSkin(int step);
    SetChange stepCharacter(int step);
    // Plays the animation step places on for the torso (legs) and keeps it
    // for the characters opened next.
    SetChange chooseAnimation(bool torso, int step);
    SetChange stepFrame(int step);

    // The game root's shader scripts, read when it is mounted.
    void readShaders();

    // Messages of the mode's life land in the list gathering_ points at:
    // the game data's and the program's, or while a character loads, its own.
    std::vector<platform::RecordedMessage> gameDataProblems_;
    std::vector<platform::RecordedMessage> loadProblems_;
    std::vector<platform::RecordedMessage>* gathering_ = &gameDataProblems_;
    // What is said of the machine (software OpenGL), once, apart from them.
    std::vector<platform::RecordedMessage> machineFacts_;
    platform::ScopedMessageCollector collector_{[this](const platform::RecordedMessage& message) {
        if (IsMachineFact(message)) {
            if (std::none_of(machineFacts_.begin(), machineFacts_.end(),
                             [&](const auto& fact) { return fact.text == message.text; }))
                machineFacts_.push_back(message);
        } else if (gathering_) {
            gathering_->push_back(message);
        }
    }};
    bool axesShown_ = true;

    CharacterChoice choice_;
    ShaderTable shaders_;
    TextureSet textures_{&shaders_};
    GamePlayer player_;
    GamePart weapon_;
    bool paused_ = false;
    bool showProblems_ = false;
    float seconds_ = 0; // animation time of the last frame drawn
    std::string status_; // what became of the last picture saved or path dropped
};
