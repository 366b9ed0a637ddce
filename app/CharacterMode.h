#pragma once
// Character mode: the viewer on a character of game data (a game folder, a
// .pk3 archive or a character folder), loaded and played as the game does,
// with keys to step through the character's skins and the game's characters
// and a window that opens what is dropped on it.
#include "CommandLine.h"

#include "model/GameData.h"
#include "platform/Input.h"

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

class TForm1;

// What character mode cannot open: a game root, character, skin or weapon
// that is not there. The message is one line naming what was looked for.
class CharacterError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Where the game data is and which character of it to show.
struct CharacterChoice {
    std::string gameRoot;    // disk path of the game folder or archive
    std::string outsideDir;  // a character folder outside the game root, mounted over it; else ""
    std::string name;        // the character's name (its folder's name)
    std::string folder;      // its folder in the game data, ending in "/" ("" for the root itself)
    std::string skin;
    std::string weapon;      // "" for none
};

// Mounts the game data the options name and picks the character, skin and
// weapon. Throws CharacterError, and platform::EInOutError for a game root
// that cannot be read.
CharacterChoice ResolveCharacterChoice(const CommandLine& options);

// The choice for PATH alone, as a positional argument or a dropped file:
// a character folder or an .md3 file in one (its folder), a .pk3, or a
// folder holding models/ or *.pk3.
CharacterChoice ResolvePathChoice(const std::string& path);

// The characters the tools work on: each one named (a NAME of --game-root or
// a character folder on disk), or without names every character of the game
// root, in name order; each with its default skin (or the first) and the
// default weapon. Leaves the game data of the last one mounted. Throws
// CharacterError.
std::vector<CharacterChoice> ResolveCharacterList(const CommandLine& options);

// Where a folder on disk lies in game data: the game root is the folder
// above its nearest ancestor named "models" (any letter case), else the
// folder itself; folder is its path from the root ending in "/" ("" for the
// root itself).
struct GameDataPlace {
    std::string gameRoot;
    std::string folder;
};
GameDataPlace PlaceInGameData(const std::string& folder);

// Mounts the game data of a choice (its root, and its folder when that lies
// outside the root) unless exactly that is mounted already. Throws
// platform::EInOutError for a root that cannot be read.
void MountChoice(const CharacterChoice& choice);

// Loads a character of mounted game data by the game's rules: its parts,
// skin and animation into player, its weapon (if any) into weapon, hung on
// the torso, with their textures in textures. Throws what the loaders throw.
void LoadCharacter(const CharacterChoice& choice, Q3Player& player, TMD3Model& weapon, TextureSet& textures);

// The shader scripts of the mounted game root; each problem found in them is
// shown in a message box.
ShaderTable ReadShaderScripts();

// The character mode of one window: loads its choice into the viewer's
// Player and Weapon and keeps their textures.
class CharacterMode {
public:
    explicit CharacterMode(CharacterChoice choice);

    // Loads the character into Player and Weapon and titles the form's window.
    void Open(TForm1& form);
    // Frees the character's textures and empties Player and Weapon; needs the
    // GL context.
    void Close();
    // N / Shift+N: next / previous skin; P / Shift+P: next / previous
    // character. True when the key was one of them.
    bool HandleKey(TForm1& form, uint16_t key, platform::TShiftState shift);
    // Opens a dropped path like PATH; a path that cannot be opened leaves the
    // character as it is and tells the user why.
    void Drop(TForm1& form, const std::string& path);

    const CharacterChoice& Choice() const { return choice_; }
    // "Quillmo — NAME (SKIN)".
    std::string Title() const;
    // GL textures the character holds.
    size_t TextureCount() const { return textures_.Count(); }

private:
    void reload(TForm1& form);
    void stepSkin(TForm1& form, int step);
    void stepCharacter(TForm1& form, int step);

    // The game root's shader scripts, read when it is mounted; their problems
    // are shown once.
    void readShaders();

    CharacterChoice choice_;
    ShaderTable shaders_;
    TextureSet textures_{&shaders_};
};

// The window title of character mode for a character and skin.
std::string CharacterTitle(const std::string& name, const std::string& skin);
