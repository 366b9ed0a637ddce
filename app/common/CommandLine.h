#pragma once
// The viewer's command-line options. With no arguments the program behaves
// as a plain desktop viewer; the options serve scripted runs and tests.
#include "game/GameAnimationChoice.h"
#include "platform/system/Dialogs.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

struct CommandLine {
    std::optional<std::string> modelRoot;           // --model-root DIR
    std::optional<platform::DialogAnswer> answer;   // --answer yes|no
    std::optional<std::pair<int, int>> size;        // --size WxH (client area)
    std::optional<int> frames;                      // --frames N
    std::optional<std::string> screenshot;          // --screenshot FILE.png
    std::vector<uint16_t> keys;                     // --keys K1,K2,... as virtual-key codes
    std::vector<uint8_t> keyShifts;                 // the shift state of each key ("Shift+N")
    bool batch = false;                             // --batch (also implied by --screenshot)
    bool help = false;                              // --help
    std::optional<int> imageMemoryMB;               // --image-memory MB (every mode)

    // Character mode: a character of game data, shown as the game shows it.
    std::optional<std::string> gameRoot;  // --game-root DIR|FILE.pk3
    std::optional<std::string> character; // --character NAME|DIR
    std::optional<std::string> skin;      // --skin NAME
    std::optional<std::string> weapon;    // --weapon NAME|none
    std::vector<std::string> paths;       // positional PATH arguments
    AnimationChoice animations;           // --torso NAME, --legs NAME (also for the pictures of the tools);
                                          // --animation NAME sets the parts it plays on
    // Character mode without a window: the character written as a file.
    std::optional<std::string> exportFile; // --export FILE.glb|FILE.gltf (--all-skins: every skin)
    std::optional<std::string> recordFile; // --record FILE.webp|FILE.gif
    std::optional<double> seconds;         // --seconds S (--record)
    bool turntable = false;                // --turntable (--record)
    bool animationNamed = false;           // --animation was given

    // Tools for many characters (their own modes; no window is shown).
    bool check = false;                            // --check [NAME|DIR ...]
    bool surfaces = false;                         // --surfaces NAME|DIR (--skin, --all-skins, --weapon)
    std::optional<std::string> format;             // --format text|json|sarif
    std::optional<int> jobs;                       // --jobs N
    std::optional<std::string> contactSheet;       // --contact-sheet FILE.png [NAME|DIR ...]
    bool allSkins = false;                         // --all-skins (also for --export)
    std::optional<std::pair<int, int>> cell;       // --cell WxH
    std::optional<int> columns;                    // --columns N
    std::optional<std::string> thumbnailInput;     // --thumbnail INPUT OUTPUT.png
    std::optional<std::string> thumbnailOutput;
    std::optional<int> thumbnailSize;              // --thumbnail-size N
    std::optional<std::string> packFile;           // --pack OUT.pk3 NAME|DIR
    bool dryRun = false;                           // --dry-run (--pack)
    bool why = false;                              // --why (--pack)
    bool force = false;                            // --force (--pack, --import)
    std::optional<std::string> importFile;         // --import CHARACTER.glb|.gltf --to DIR [--name NAME]
    std::optional<std::string> importTo;
    std::optional<std::string> importName;

    // True when a character is viewed from game data: any option or argument
    // of character mode, and none of the tools.
    bool CharacterMode() const
    {
        return !Tool() && (gameRoot || character || skin || weapon || !paths.empty() || animations.torso ||
                           animations.legs || Writes());
    }
    // True when character mode writes its character to a file instead of
    // showing it: --export or --record.
    bool Writes() const { return exportFile || recordFile; }
    // True when one of the tools for many characters was asked for.
    bool Tool() const { return check || surfaces || contactSheet || thumbnailInput || packFile || importFile; }
};

// Thrown for a bad option; its message is the one-line error to print.
class CommandLineError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

CommandLine ParseCommandLine(const std::vector<std::string>& args);
// The virtual-key code of a key name (Space, PageUp, PageDown, Home, End, Up,
// Down, Left, Right, Comma, Period, 0-9, A-Z, Num0-Num9, F1-F12, in any
// letter case); throws CommandLineError for others.
uint16_t KeyCodeOfName(const std::string& name);
const char* CommandLineUsage();
