#pragma once
// Character mode: the viewer on a character of game data (a game folder, a
// .pk3 archive or a character folder), loaded and played as the game does,
// with keys to step through the character's skins and the game's characters
// and a window that opens what is dropped on it.
#include "CharacterChoice.h"

#include "app/viewer/CharacterSet.h"
#include "model/Model.h"

#include <string>

// The character mode of one window: the character of its choice with its
// weapon and their textures.
class CharacterMode : public CharacterSet {
public:
    explicit CharacterMode(CharacterChoice choice);
    // The weapon hangs on the torso by address: the mode stays where it is made.
    CharacterMode(const CharacterMode&) = delete;
    CharacterMode& operator=(const CharacterMode&) = delete;

    // Loads the character and its weapon. Throws what the loaders throw.
    void Open() override;
    // Frees the character's textures and empties the character and weapon;
    // needs the GL context.
    void Close() override;
    void Draw(float seconds) override;
    void SetPose(uint32_t animation) override;
    // "Quillmo — NAME (SKIN)".
    std::string Title() const override;
    // N / Shift+N: next / previous skin; P / Shift+P: next / previous
    // character; G: the game's light or the viewer's eight lights.
    SetChange HandleKey(uint16_t key, platform::TShiftState shift) override;
    // Opens a dropped path like PATH; a path that cannot be opened leaves the
    // character as it is and tells the user why.
    SetChange Drop(const std::string& path) override;

    const CharacterChoice& Choice() const { return choice_; }
    // The character and weapon shown.
    const Q3Player& ShownPlayer() const { return player_; }
    const TMD3Model& ShownWeapon() const { return weapon_; }
    // GL textures the character holds.
    size_t TextureCount() const { return textures_.Count(); }

private:
    SetChange stepSkin(int step);
    SetChange stepCharacter(int step);

    // The game root's shader scripts, read when it is mounted; their problems
    // are shown once.
    void readShaders();

    CharacterChoice choice_;
    ShaderTable shaders_;
    TextureSet textures_{&shaders_};
    Q3Player player_;
    TMD3Model weapon_;
};
