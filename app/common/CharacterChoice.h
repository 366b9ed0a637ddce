#pragma once
// Which character of which game data to show: game roots, character folders
// and archives named on the command line or dropped on the window, resolved
// and mounted as the game mounts them, and the character loaded by the
// game's rules. Character mode and the tools for many characters start here.
#include "CommandLine.h"
#include "game/GameAnimationChoice.h"
#include "game/GameData.h"

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// What character mode cannot open: a game root, character, skin or weapon
// that is not there. The message is one line naming what was looked for.
class CharacterError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Where the game data is and which character of it to show.
struct CharacterChoice {
    std::string gameRoot;    // disk path of the game folder or archive
    // A folder outside the game root mounted over it, else "": the work root
    // of a character folder in the usual layout (WORK/models/players/NAME),
    // mounted at the game root, or any other character folder, mounted at
    // models/players/NAME.
    std::string outsideDir;
    std::string outsideAt; // where outsideDir appears in the game data
    std::string name;        // the character's name (its folder's name)
    std::string folder;      // its folder in the game data, ending in "/" ("" for the root itself)
    std::string skin;
    std::string weapon;      // "" for none
    AnimationChoice animations; // what to play instead of the start animations
    // The game root is a character folder that is its own game data (it lies
    // under no "models" folder): its own files are mounted, not the folders
    // below it, which have nothing to do with the character.
    bool ownFilesOnly = false;
};

// Who hears of the archives that mounting leaves out and the entries it
// skips (platform::files::MountProblems()): the user, in one message box
// listing them all (a line each in non-interactive mode), which is the
// default; or nobody here, because the caller reads them itself (the checker
// makes findings of them).
enum class MountProblemsTo { User, Caller };
void SendMountProblemsTo(MountProblemsTo to);

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

// Where a character folder on disk named name lies when it is laid over game
// data it is not part of: in the usual work layout (WORK/models/players/NAME)
// its whole work root goes over the game root, so that the maker's scripts
// and sounds come along; any other folder goes alone to models/players/NAME.
struct OverlayPlace {
    std::string dir; // the folder mounted
    std::string at;  // where it appears in the game data ("" for the root)
    bool workRoot = false;
};
OverlayPlace OverlayOf(const std::string& folder, const std::string& name);

// Mounts the game data of a choice (its root, and its folder when that lies
// outside the root) unless exactly that is mounted already; what it leaves
// out goes where SendMountProblemsTo says. Throws platform::EInOutError for a
// root that cannot be read.
void MountChoice(const CharacterChoice& choice);

// Loads a character of mounted game data by the game's rules: its parts,
// skin and animation into player, its weapon (if any) into weapon, hung on
// the torso, with their textures in textures. Throws what the loaders throw.
void LoadCharacter(const CharacterChoice& choice, GamePlayer& player, GamePart& weapon, TextureSet& textures);

// The shader scripts of the mounted game root; each problem found in them is
// shown as a message (character mode gathers them instead of a box).
ShaderTable ReadShaderScripts();

// The window title of character mode for a character and skin.
std::string CharacterTitle(const std::string& name, const std::string& skin);

// The skin of the choice's character named wanted (ignoring letter case), or
// without a name "default", else its first skin. Throws CharacterError when
// a skin asked for is not there.
std::string PickSkin(const CharacterChoice& choice, const std::optional<std::string>& wanted);

// The characters to step through from current: those of the mounted game
// root, and current where it is not among them (a folder that is the root
// itself), as pairs of name and folder.
std::vector<std::pair<std::string, std::string>> SteppableCharacters(const CharacterChoice& current);
