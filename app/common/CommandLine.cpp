#include "CommandLine.h"

#include "game/GameAnimation.h"
#include "platform/system/System.h"
#include "platform/window/Input.h"

#include <string>

#include <algorithm>
#include <cctype>
#include <charconv>

namespace {

int positiveNumber(const std::string& text, const std::string& option)
{
    int value = 0;
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || ptr != text.data() + text.size() || value <= 0)
        throw CommandLineError(option + " needs a positive whole number, not '" + text + "'");
    return value;
}

constexpr double kLongestRecording = 600;

// --seconds S: a decimal number of seconds above 0, at most kLongestRecording.
double positiveSeconds(const std::string& text, const std::string& option)
{
    double value = 0;
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || ptr != text.data() + text.size() || !(value > 0) || value > kLongestRecording)
        throw CommandLineError(option + " needs a number of seconds above 0 and at most " +
                               std::to_string(static_cast<int>(kLongestRecording)) + ", not '" + text + "'");
    return value;
}

// Keys named by a word in --keys, lower case.
constexpr std::pair<const char*, uint16_t> kNamedKeys[] = {
    {"space", platform::VK_SPACE}, {"pageup", platform::VK_PRIOR}, {"pagedown", platform::VK_NEXT},
    {"home", platform::VK_HOME},   {"end", platform::VK_END},      {"up", platform::VK_UP},
    {"down", platform::VK_DOWN},   {"left", platform::VK_LEFT},    {"right", platform::VK_RIGHT},
    {"comma", platform::VK_OEM_COMMA}, {"period", platform::VK_OEM_PERIOD}};
constexpr int kFunctionKeys = 12;

// --torso NAME and --legs NAME: an animation the game plays on that part,
// by the game's name.
uint32_t animationOption(const std::string& name, const std::string& option, const char* part,
                         bool (*drives)(uint32_t))
{
    const std::optional<uint32_t> k = AnimationNamed(name);
    std::string names;
    for (uint32_t i = 0; i < kGameAnimationCount; ++i) {
        if (drives(i))
            names += std::string(names.empty() ? "" : ", ") + AnimationName(i);
    }
    if (!k)
        throw CommandLineError(option + ": no animation '" + name + "' (" + part + " animations: " + names + ")");
    if (!drives(*k))
        throw CommandLineError(option + ": " + AnimationName(*k) + " does not play on the " + part + " (" + part +
                               " animations: " + names + ")");
    return *k;
}

// "Shift+N" in --keys presses N with Shift held.
constexpr const char* kShiftPrefix = "shift+";

constexpr int kLargestSide = 16384;

// WIDTHxHEIGHT in pixels, each 1 ... kLargestSide.
std::pair<int, int> pixelSize(const std::string& text, const std::string& option)
{
    const size_t x = platform::LowerCase(text).find('x');
    if (x == std::string::npos)
        throw CommandLineError(option + " takes WIDTHxHEIGHT, not '" + text + "'");
    const int w = positiveNumber(text.substr(0, x), option);
    const int h = positiveNumber(text.substr(x + 1), option);
    if (w > kLargestSide || h > kLargestSide)
        throw CommandLineError(option + " is limited to " + std::to_string(kLargestSide) + " pixels a side");
    return {w, h};
}

// Each tool takes its own options and none of the viewer's.
void checkToolOptions(const CommandLine& options)
{
    const int tools = int(options.check) + int(options.surfaces) + int(options.contactSheet.has_value()) +
                      int(options.thumbnailInput.has_value()) + int(options.packFile.has_value()) +
                      int(options.importFile.has_value());
    if (tools > 1)
        throw CommandLineError("--check, --surfaces, --contact-sheet, --thumbnail, --pack and --import are separate "
                               "tools; give one");
    if ((options.dryRun || options.why) && !options.packFile)
        throw CommandLineError("--dry-run and --why go with --pack");
    if (options.force && !options.packFile && !options.importFile)
        throw CommandLineError("--force goes with --pack or --import");
    if ((options.importTo || options.importName) && !options.importFile)
        throw CommandLineError("--to and --name go with --import");
    if (options.importFile && !options.importTo)
        throw CommandLineError("--import needs --to DIR, the folder to write the character into");
    if (options.importFile && (options.gameRoot || !options.paths.empty()))
        throw CommandLineError("--import takes its file, --to DIR and --name NAME only");
    if (options.format && !options.check && !options.surfaces && !options.importFile)
        throw CommandLineError("--format goes with --check, --surfaces or --import");
    if (options.jobs && !options.check)
        throw CommandLineError("--jobs goes with --check");
    if (options.surfaces && options.format == "sarif")
        throw CommandLineError("--surfaces writes text or json, not sarif");
    if ((options.cell || options.columns) && !options.contactSheet)
        throw CommandLineError("--cell and --columns go with --contact-sheet");
    if (options.allSkins && !options.contactSheet && !options.exportFile && !options.surfaces)
        throw CommandLineError("--all-skins goes with --contact-sheet, --surfaces or --export");
    if ((options.seconds || options.turntable || options.animationNamed) && !options.recordFile)
        throw CommandLineError("--animation, --seconds and --turntable go with --record");
    if (options.thumbnailSize && !options.thumbnailInput)
        throw CommandLineError("--thumbnail-size goes with --thumbnail");
    if (tools == 0)
        return;
    if ((options.check || options.surfaces) && (options.animations.torso || options.animations.legs))
        throw CommandLineError("--torso and --legs go with the viewer, --contact-sheet and --thumbnail, not --check "
                               "or --surfaces");
    if (options.packFile && options.paths.size() != 1)
        throw CommandLineError("--pack packs one character: give its folder or NAME");
    if (options.packFile && (options.animations.torso || options.animations.legs))
        throw CommandLineError("--torso and --legs go with the viewer, --contact-sheet and --thumbnail, not --pack");
    if (options.surfaces) {
        if (options.paths.size() != 1)
            throw CommandLineError("--surfaces reports on one character: give its NAME or folder");
        if (options.skin && options.allSkins)
            throw CommandLineError("give --skin or --all-skins, not both");
    }
    const bool viewerOptions = options.modelRoot || options.answer || options.size || options.frames ||
                               options.screenshot || !options.keys.empty() || options.character ||
                               (!options.surfaces && (options.skin || options.weapon));
    if (viewerOptions)
        throw CommandLineError("the tools take --game-root and names or folders of characters, not the viewer's "
                               "options (--model-root, --answer, --size, --frames, --screenshot, --keys, "
                               "--character, --skin, --weapon)");
    if (options.Writes())
        throw CommandLineError("--export and --record write one character; they go with character mode's options, "
                               "not with a tool");
    if (options.thumbnailInput && (options.gameRoot || !options.paths.empty()))
        throw CommandLineError("--thumbnail takes its INPUT and OUTPUT only");
}

// Character mode and the sample Model/ tree exclude each other's options.
void checkCharacterOptions(const CommandLine& options)
{
    if (options.Tool())
        return;
    if (options.paths.size() > 1)
        throw CommandLineError("one PATH at most, not " + std::to_string(options.paths.size()));
    if (!options.CharacterMode())
        return;
    if (options.modelRoot || options.answer)
        throw CommandLineError("--model-root and --answer are for the sample Model/ tree, not for character mode "
                               "(--game-root, --character, --skin, --weapon, PATH)");
    if (!options.paths.empty() && options.character)
        throw CommandLineError("give a character either as PATH or with --character, not both");
    if (!options.gameRoot && !options.character && options.paths.empty())
        throw CommandLineError("--skin, --weapon, --torso and --legs need a character (as do --export and "
                               "--record): --game-root, --character or PATH");
    if (!options.Writes())
        return;
    if (options.exportFile && options.recordFile)
        throw CommandLineError("--export and --record are separate runs; give one");
    if (options.frames || options.screenshot || !options.keys.empty())
        throw CommandLineError("--export and --record run without a window: no --frames, --screenshot or --keys");
    if (options.exportFile && (options.animations.torso || options.animations.legs || options.size))
        throw CommandLineError("--export writes every animation: no --torso, --legs or --size");
    const std::string& file = options.exportFile ? *options.exportFile : *options.recordFile;
    const std::string extension = platform::LowerCase(file.substr(std::min(file.size(), file.rfind('.'))));
    if (options.exportFile && extension != ".glb" && extension != ".gltf")
        throw CommandLineError("--export writes FILE.glb or FILE.gltf, not '" + file + "'");
    if (options.recordFile && extension != ".webp" && extension != ".gif")
        throw CommandLineError("--record writes FILE.webp or FILE.gif, not '" + file + "'");
}

// ---- the options ----

using Values = std::vector<std::string>;

// One option: its name (and a short one), how many values follow it, what
// it sets, and its lines of the usage text, after the usage text's lines
// that come before them (a heading, another option's mention in a group).
struct OptionSpec {
    const char* name;
    const char* shortName; // nullptr for none
    int values;
    void (*apply)(CommandLine& options, const Values& values, const std::string& name);
    const char* help;
    const char* before = "";
};

void setAnswer(CommandLine& options, const Values& values, const std::string&)
{
    const std::string answer = platform::LowerCase(values[0]);
    if (answer == "yes")
        options.answer = platform::DialogAnswer::Yes;
    else if (answer == "no")
        options.answer = platform::DialogAnswer::No;
    else
        throw CommandLineError("--answer takes yes or no, not '" + answer + "'");
}

void setFormat(CommandLine& options, const Values& values, const std::string&)
{
    options.format = platform::LowerCase(values[0]);
    if (*options.format != "text" && *options.format != "json" && *options.format != "sarif")
        throw CommandLineError("--format takes text, json or sarif, not '" + values[0] + "'");
}

void setThumbnailSize(CommandLine& options, const Values& values, const std::string& name)
{
    options.thumbnailSize = positiveNumber(values[0], name);
    if (*options.thumbnailSize > kLargestSide)
        throw CommandLineError(name + " is limited to " + std::to_string(kLargestSide) + " pixels");
}

// One animation for the parts it plays on; the other part stands.
void setAnimation(CommandLine& options, const Values& values, const std::string& name)
{
    const std::optional<uint32_t> k = AnimationNamed(values[0]);
    if (!k || (!AnimationDrivesTorso(*k) && !AnimationDrivesLegs(*k)))
        throw CommandLineError(name + ": no animation '" + values[0] + "' (BOTH_DEATH1 ... LEGS_TURN)");
    if (AnimationDrivesTorso(*k))
        options.animations.torso = *k;
    if (AnimationDrivesLegs(*k))
        options.animations.legs = *k;
    options.animationNamed = true;
}

void setKeys(CommandLine& options, const Values& values, const std::string&)
{
    const std::string& list = values[0];
    size_t start = 0;
    while (start <= list.size()) {
        const size_t comma = list.find(',', start);
        std::string name = list.substr(start, comma == std::string::npos ? comma : comma - start);
        uint8_t shift = 0;
        if (platform::LowerCase(name).rfind(kShiftPrefix, 0) == 0) {
            shift = platform::ssShift;
            name = name.substr(std::string(kShiftPrefix).size());
        }
        options.keys.push_back(KeyCodeOfName(name));
        options.keyShifts.push_back(shift);
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
}

// In the order of the usage text.
const OptionSpec kOptions[] = {
    {"--model-root", nullptr, 1, [](CommandLine& o, const Values& v, const std::string&) { o.modelRoot = v[0]; },
     "  --model-root DIR     folder holding ModelLara/ and ModelSarge/ (default ./Model/)\n"},
    {"--answer", nullptr, 1, setAnswer,
     "  --answer yes|no      answer the start question without the box (yes: Lara, no: Sarge)\n"},
    {"--size", nullptr, 1,
     [](CommandLine& o, const Values& v, const std::string& n) { o.size = pixelSize(v[0], n); },
     "  --size WxH           client size of the window in pixels\n"},
    {"--frames", nullptr, 1,
     [](CommandLine& o, const Values& v, const std::string& n) { o.frames = positiveNumber(v[0], n); },
     "  --frames N           draw N frames on a clock advancing 40 ms per frame, then exit\n"},
    {"--screenshot", nullptr, 1,
     [](CommandLine& o, const Values& v, const std::string&) {
         o.screenshot = v[0];
         o.batch = true;
     },
     "  --screenshot FILE    write the last of those frames as PNG (implies --batch)\n"},
    {"--keys", nullptr, 1, setKeys,
     "  --keys K1,K2,...     press keys after the window is made: Space, PageUp, PageDown, Home,\n"
     "                       End, Up, Down, Left, Right, Comma, Period, 0-9, A-Z, Num0-Num9,\n"
     "                       F1-F12, each optionally as Shift+KEY\n"},
    {"--batch", nullptr, 0, [](CommandLine& o, const Values&, const std::string&) { o.batch = true; },
     "  --batch              never block on a message box: messages go to standard error\n"},
    {"--image-memory", nullptr, 1,
     [](CommandLine& o, const Values& v, const std::string& n) { o.imageMemoryMB = positiveNumber(v[0], n); },
     "  --image-memory MB    decoded images held at once, at most; larger ones are refused\n"
     "                       (default 512)\n"},
    {"--help", "-h", 0, [](CommandLine& o, const Values&, const std::string&) { o.help = true; },
     "  --help               this text\n"},
    {"--game-root", nullptr, 1, [](CommandLine& o, const Values& v, const std::string&) { o.gameRoot = v[0]; },
     "  --game-root DIR|PK3  game data: the loose files of DIR over its *.pk3 archives, or one archive\n",
     "\n"
     "Character mode (a character of game data, as the game shows it):\n"
     "  PATH                 a character folder or one of its .md3 files, a .pk3 archive, or a game\n"
     "                       data folder (holding models/ or *.pk3): its first character\n"},
    {"--character", nullptr, 1, [](CommandLine& o, const Values& v, const std::string&) { o.character = v[0]; },
     "  --character NAME|DIR models/players/NAME of the game data, or a character folder on disk\n"},
    {"--skin", nullptr, 1, [](CommandLine& o, const Values& v, const std::string&) { o.skin = v[0]; },
     "  --skin NAME          the skin (lower_NAME.skin, ...); default: default\n"},
    {"--weapon", nullptr, 1, [](CommandLine& o, const Values& v, const std::string&) { o.weapon = v[0]; },
     "  --weapon NAME|none   models/weapons2/NAME/NAME.md3 on the torso; default: railgun if present\n"},
    {"--torso", nullptr, 1,
     [](CommandLine& o, const Values& v, const std::string& n) {
         o.animations.torso = animationOption(v[0], n, "torso", GameAnimationDrivesTorso);
     },
     "  --torso NAME         start the torso on this animation (BOTH_DEATH1 ... TORSO_STAND2)\n"},
    {"--legs", nullptr, 1,
     [](CommandLine& o, const Values& v, const std::string& n) {
         o.animations.legs = animationOption(v[0], n, "legs", GameAnimationDrivesLegs);
     },
     "  --legs NAME          start the legs on this animation (BOTH_DEATH1 ... BOTH_DEAD3, LEGS_WALKCR ...\n"
     "                       LEGS_TURN); an animation of both parts plays on both\n"},
    {"--export", nullptr, 1, [](CommandLine& o, const Values& v, const std::string&) { o.exportFile = v[0]; },
     "  --export FILE.glb|FILE.gltf\n"
     "                       write the character as glTF 2.0 instead of showing it: its parts on their\n"
     "                       tags, the weapon, every animation of animation.cfg, the skin's materials\n"},
    {"--all-skins", nullptr, 0, [](CommandLine& o, const Values&, const std::string&) { o.allSkins = true; },
     "    --all-skins        every skin of the character, each a material variant\n"},
    {"--record", nullptr, 1, [](CommandLine& o, const Values& v, const std::string&) { o.recordFile = v[0]; },
     "  --record FILE.webp|FILE.gif\n"
     "                       write an animated picture of the character instead of showing it\n"},
    {"--animation", nullptr, 1, setAnimation,
     "    --animation NAME   what plays (default TORSO_STAND and LEGS_IDLE); --torso and --legs work too\n"},
    {"--seconds", nullptr, 1,
     [](CommandLine& o, const Values& v, const std::string& n) { o.seconds = positiveSeconds(v[0], n); },
     "    --seconds S        how long it plays (default 3), at 25 pictures a second\n"},
    {"--turntable", nullptr, 0, [](CommandLine& o, const Values&, const std::string&) { o.turntable = true; },
     "    --turntable        the character turns once round meanwhile\n"},
    {"--check", nullptr, 0, [](CommandLine& o, const Values&, const std::string&) { o.check = true; },
     "  --check [--game-root DIR|PK3] [NAME|DIR ...]\n"
     "                       check every character (or those named) and every skin; one line per\n"
     "                       finding (NAME[/SKIN]: error|warning: TEXT; shader scripts of the game\n"
     "                       root that cannot be read to their end first, as (game data): warning:),\n"
     "                       then a summary; exit 0 without errors, 1 with errors, 2 when the check\n"
     "                       cannot run or its report cannot be written\n",
     "    --size WxH         the picture's size (default 320x400)\n"
     "Keys in character mode: Up / Down next / previous torso animation, Right / Left next / previous\n"
     "legs animation, Period / Comma one frame on / back while paused (Space), Home frames the\n"
     "character, E shows or hides its problems, F12 saves the view as PNG, N / Shift+N next /\n"
     "previous skin, P / Shift+P next / previous character; a folder or .pk3 dropped on the window\n"
     "opens like PATH.\n"
     "\n"
     "Tools for many characters (no window):\n"},
    {"--format", nullptr, 1, setFormat,
     "    --format FORMAT    text (the default), json (an object per finding and a summary) or\n"
     "                       sarif (SARIF 2.1.0, each finding at its file and line)\n"},
    {"--jobs", nullptr, 1,
     [](CommandLine& o, const Values& v, const std::string& n) { o.jobs = positiveNumber(v[0], n); },
     "    --jobs N           check N characters at once in worker processes (default: the cores)\n"},
    {"--surfaces", nullptr, 0, [](CommandLine& o, const Values&, const std::string&) { o.surfaces = true; },
     "  --surfaces [--game-root DIR|PK3] NAME|DIR [--skin S|--all-skins] [--weapon W|none]\n"
     "                       what the game makes of every surface of the character and its weapon:\n"
     "                       for each part, surface and skin the name looked up and where it was\n"
     "                       read, the shader or image it resolves to and where that is defined, its\n"
     "                       stages, what the game does with it and how its shader list counts it;\n"
     "                       --format text (the default) or json; exit 0 when every surface is made\n"
     "                       as written, 1 when one is not or a file is missing\n"},
    {"--pack", nullptr, 1, [](CommandLine& o, const Values& v, const std::string&) { o.packFile = v[0]; },
     "  --pack OUT.pk3 [--game-root BASE] NAME|DIR\n"
     "                       pack the character for release: exactly the files the game reads for it\n"
     "                       that BASE (the game data it will be laid over) does not hold alike, and a\n"
     "                       script of the shaders it uses; checked first (errors: not written), then\n"
     "                       reopened over BASE and compared; exit 0 when written and proven, 1 with\n"
     "                       errors or a failed proof, 2 when it cannot run or write\n"},
    {"--dry-run", nullptr, 0, [](CommandLine& o, const Values&, const std::string&) { o.dryRun = true; },
     "    --dry-run          print what would be packed and write nothing\n"},
    {"--why", nullptr, 0, [](CommandLine& o, const Values&, const std::string&) { o.why = true; },
     "    --why              print every entry with what made the game read it\n"},
    {"--force", nullptr, 0, [](CommandLine& o, const Values&, const std::string&) { o.force = true; },
     "    --force            write the pack despite errors, with the shaders that shadow BASE's\n"},
    {"--import", nullptr, 1, [](CommandLine& o, const Values& v, const std::string&) { o.importFile = v[0]; },
     "  --import CHARACTER.glb|.gltf --to DIR [--name NAME]\n"
     "                       make a glTF character into the game's files in DIR/models/players/NAME/\n"
     "                       (parts, skins per material variant, animation.cfg, images, a shader\n"
     "                       script where needed), then check them as --check does (--format too);\n"
     "                       exit 0 when written without errors, 1 with errors or refused by the\n"
     "                       game's limits, 2 when the file cannot be read or DIR written\n"},
    {"--to", nullptr, 1, [](CommandLine& o, const Values& v, const std::string&) { o.importTo = v[0]; },
     "    --to DIR           the game data folder to write into\n"},
    {"--name", nullptr, 1, [](CommandLine& o, const Values& v, const std::string&) { o.importName = v[0]; },
     "    --name NAME        the character's name (default: the file's own, or its file name);\n"
     "                       --force writes over a character of that name already there\n"},
    {"--contact-sheet", nullptr, 1,
     [](CommandLine& o, const Values& v, const std::string&) { o.contactSheet = v[0]; },
     "  --contact-sheet FILE.png [--game-root DIR|PK3] [NAME|DIR ...]\n"
     "                       one picture of every character (or those named) in a grid\n"},
    {"--cell", nullptr, 1,
     [](CommandLine& o, const Values& v, const std::string& n) { o.cell = pixelSize(v[0], n); },
     "    --cell WxH         the size of a cell in pixels; default 256x256\n",
     "    --all-skins        a cell for every skin, not only the default one\n"},
    {"--columns", nullptr, 1,
     [](CommandLine& o, const Values& v, const std::string& n) { o.columns = positiveNumber(v[0], n); },
     "    --columns N        cells in a row; default 6\n"},
    {"--thumbnail", nullptr, 2,
     [](CommandLine& o, const Values& v, const std::string&) {
         o.thumbnailInput = v[0];
         o.thumbnailOutput = v[1];
     },
     "  --thumbnail INPUT OUTPUT.png [--thumbnail-size N]\n"
     "                       a picture of at most N pixels a side (default 256) of an .md3 file (the\n"
     "                       character of its folder, else the part) or a .pk3 (its first character);\n"
     "                       INPUT may be a path or a file:// URI\n",
     "    --torso NAME, --legs NAME\n"
     "                       each character in the first frame of these animations (default\n"
     "                       TORSO_STAND, LEGS_IDLE); also for --thumbnail\n"},
    // Told on --thumbnail's first line and in its text.
    {"--thumbnail-size", nullptr, 1, setThumbnailSize, ""},
};

constexpr const char* kUsageStart = "Usage: Quillmo [options] [PATH]\n";
constexpr const char* kUsageEnd =
    "\n"
    "Exit status of the runs without a window: 0 done; 1 done, but with errors found, a picture or\n"
    "export made after a load problem, or nothing to draw; 2 cannot run, or the output cannot be\n"
    "written.\n";

const OptionSpec* findOption(const std::string& arg)
{
    for (const OptionSpec& option : kOptions)
        if (arg == option.name || (option.shortName && arg == option.shortName))
            return &option;
    return nullptr;
}

} // namespace

uint16_t KeyCodeOfName(const std::string& name)
{
    const std::string key = platform::LowerCase(name);
    for (const auto& [keyName, code] : kNamedKeys) {
        if (key == keyName)
            return code;
    }
    if (key.size() == 1 && key[0] >= '0' && key[0] <= '9')
        return static_cast<uint16_t>(platform::VK_0 + (key[0] - '0'));
    if (key.size() == 1 && key[0] >= 'a' && key[0] <= 'z')
        return static_cast<uint16_t>(platform::VK_A + (key[0] - 'a'));
    if (key.size() == 4 && key.rfind("num", 0) == 0 && key[3] >= '0' && key[3] <= '9')
        return static_cast<uint16_t>(platform::VK_NUMPAD0 + (key[3] - '0'));
    if (key.size() >= 2 && key[0] == 'f') {
        int number = 0;
        const auto [end, error] = std::from_chars(key.data() + 1, key.data() + key.size(), number);
        if (error == std::errc() && end == key.data() + key.size() && number >= 1 && number <= kFunctionKeys)
            return static_cast<uint16_t>(platform::VK_F1 + number - 1);
    }
    throw CommandLineError("unknown key name '" + name + "' (use Space, PageUp, PageDown, Home, End, Up, Down, Left, "
                           "Right, Comma, Period, 0-9, A-Z, Num0-Num9, F1-F12)");
}

CommandLine ParseCommandLine(const std::vector<std::string>& args)
{
    CommandLine options;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const OptionSpec* option = findOption(arg);
        if (!option) {
            if (arg.size() > 1 && arg[0] == '-')
                throw CommandLineError("unknown option '" + arg + "' (see --help)");
            options.paths.push_back(arg);
            continue;
        }
        Values values;
        for (int v = 0; v < option->values; ++v) {
            if (i + 1 >= args.size())
                throw CommandLineError(arg + " needs a value");
            values.push_back(args[++i]);
        }
        option->apply(options, values, arg);
    }
    if (options.screenshot && !options.frames)
        options.frames = 1;
    checkToolOptions(options);
    checkCharacterOptions(options);
    return options;
}

const char* CommandLineUsage()
{
    static const std::string usage = [] {
        std::string text = kUsageStart;
        for (const OptionSpec& option : kOptions) {
            text += option.before;
            text += option.help;
        }
        return text + kUsageEnd;
    }();
    return usage.c_str();
}
