#include "CharacterMode.h"

#include "SavedPictures.h"

#include "OpglLib/OpglLight.h"
#include "OpglLib/OpglManage.h"
#include "game/GameAnimation.h"
#include "game/GameLight.h"
#include "game/GameRenderer.h"
#include "platform/system/System.h"

#include <algorithm>
#include <cstdio>
#include <exception>

namespace {

constexpr const char* kCaption = "Quillmo";
constexpr const char* kPictureStem = "quillmo";

constexpr const char* kKeysLine = "Up/Down torso  Left/Right legs  ,/. frame  Home fit  E list  F12 save  N skin  "
                                  "P character  G light  X axes";

// One part's animation as the overlay shows it: name, frame in the file and
// place in the animation (the game's playback counts a backwards animation
// from its last frame), rate.
std::string partLine(const char* part, int32_t animation, const GamePart& shown)
{
    const GameAnimationEntry& playing = shown.playing;
    std::string line = std::string(part) + ": " + AnimationName(static_cast<uint32_t>(animation)) + "  frame " +
                       std::to_string(shown.model.CurrentFrame);
    const int64_t first = playing.FirstFrame;
    const int64_t count = playing.FrameCount;
    int64_t place = static_cast<int64_t>(shown.model.CurrentFrame) - first + 1;
    if (playing.Reversed)
        place = count + 1 - place;
    // Right after a change the part still shows a frame of the animation before.
    if (count > 0 && place >= 1 && place <= count)
        line += " (" + std::to_string(place) + " of " + std::to_string(count) + ")";
    return line + "  " + std::to_string(playing.FPS) + " fps";
}

// A file name's part from a name read from game data: no folders, no blanks.
std::string fileNamePart(std::string text)
{
    for (char& c : text) {
        if (c == '/' || c == '\\' || static_cast<unsigned char>(c) <= ' ')
            c = '_';
    }
    return text;
}

} // namespace

bool IsMachineFact(const platform::RecordedMessage& message)
{
    return message.text == TGLManager::kNoHardwareMessage;
}

CharacterMode::CharacterMode(const CommandLine& options) : choice_(ResolveCharacterChoice(options)) { readShaders(); }

CharacterMode::CharacterMode(CharacterChoice choice) : choice_(std::move(choice)) { readShaders(); }

void CharacterMode::readShaders() { shaders_ = ReadShaderScripts(); }

std::string CharacterMode::Title() const { return CharacterTitle(choice_.name, choice_.skin); }

void CharacterMode::Open()
{
    loadProblems_.clear();
    status_.clear();
    gathering_ = &loadProblems_;
    try {
        LoadCharacter(choice_, player_, weapon_, textures_);
    } catch (const std::exception& e) {
        // The character shows what loaded before the failure.
        platform::ShowMessage(e.what(), kCaption);
    }
    gathering_ = &gameDataProblems_;
    StartAnimations(player_, choice_.animations);
    // A character opened on a stopped clock (which the window has set back
    // to 0) shows the first frames of its animations rather than frame 0 of
    // its files.
    if (paused_) {
        StepGameFrame(player_.Lower, 1, GameTimeMs(0.0f));
        StepGameFrame(player_.Upper, 1, GameTimeMs(0.0f));
    }
}

void CharacterMode::Close()
{
    textures_.Clear();
    player_ = GamePlayer{};
    weapon_ = GamePart{};
}

void CharacterMode::Draw(float seconds)
{
    seconds_ = seconds;
    DrawGamePlayer(player_, seconds);
}

void CharacterMode::SetPose(uint32_t animation)
{
    SetGameAnimation(player_, animation);
    choice_.animations = {static_cast<uint32_t>(player_.TorsoAnim), static_cast<uint32_t>(player_.LegsAnim)};
}

SetChange CharacterMode::HandleKey(uint16_t key, platform::TShiftState shift)
{
    const int step = (shift & platform::ssShift) ? -1 : 1;
    switch (key) {
    case 'N':
        return stepSkin(step);
    case 'P':
        return stepCharacter(step);
    case platform::VK_UP:
    case platform::VK_DOWN:
        return chooseAnimation(true, key == platform::VK_UP ? 1 : -1);
    case platform::VK_RIGHT:
    case platform::VK_LEFT:
        return chooseAnimation(false, key == platform::VK_RIGHT ? 1 : -1);
    case platform::VK_OEM_PERIOD:
    case platform::VK_OEM_COMMA:
        return stepFrame(key == platform::VK_OEM_PERIOD ? 1 : -1);
    case platform::VK_HOME:
        return SetChange::Frame;
    case 'E':
        showProblems_ = !showProblems_;
        return SetChange::Redraw;
    case platform::VK_F12:
        return SetChange::SaveView;
    case 'G':
        UseSceneLight(CurrentSceneLight() == SceneLight::Game ? SceneLight::Viewer : SceneLight::Game);
        return SetChange::Redraw;
    case 'X':
        axesShown_ = !axesShown_;
        return SetChange::Redraw;
    default:
        return SetChange::None;
    }
}

SetChange CharacterMode::chooseAnimation(bool torso, int step)
{
    const int32_t torsoBefore = player_.TorsoAnim, legsBefore = player_.LegsAnim;
    if (torso)
        SetTorsoAnimation(player_, StepTorsoAnimation(static_cast<uint32_t>(player_.TorsoAnim), step));
    else
        SetLegsAnimation(player_, StepLegsAnimation(static_cast<uint32_t>(player_.LegsAnim), step));
    choice_.animations = {static_cast<uint32_t>(player_.TorsoAnim), static_cast<uint32_t>(player_.LegsAnim)};
    // On a stopped clock the parts that changed show their new first frame
    // at once.
    if (paused_) {
        if (player_.TorsoAnim != torsoBefore)
            StepGameFrame(player_.Upper, 1, GameTimeMs(seconds_));
        if (player_.LegsAnim != legsBefore)
            StepGameFrame(player_.Lower, 1, GameTimeMs(seconds_));
    }
    return SetChange::Redraw;
}

SetChange CharacterMode::stepFrame(int step)
{
    if (!paused_)
        return SetChange::Redraw;
    StepGameFrame(player_.Lower, step, GameTimeMs(seconds_));
    StepGameFrame(player_.Upper, step, GameTimeMs(seconds_));
    return SetChange::Redraw;
}

SetChange CharacterMode::stepSkin(int step)
{
    const std::vector<std::string> skins = ListSkins(choice_.folder);
    if (skins.empty())
        return SetChange::Redraw;
    const auto at = std::find_if(skins.begin(), skins.end(), [&](const std::string& s) {
        return platform::SameText(s, choice_.skin);
    });
    const auto count = static_cast<std::ptrdiff_t>(skins.size());
    const std::ptrdiff_t index = at == skins.end() ? 0 : ((at - skins.begin()) + step + count) % count;
    choice_.skin = skins[static_cast<size_t>(index)];
    return SetChange::NewSkin;
}

SetChange CharacterMode::stepCharacter(int step)
{
    const auto characters = SteppableCharacters(choice_);
    const auto at = std::find_if(characters.begin(), characters.end(),
                                 [&](const auto& c) { return platform::SameText(c.second, choice_.folder); });
    const auto count = static_cast<std::ptrdiff_t>(characters.size());
    const std::ptrdiff_t index = ((at - characters.begin()) + step + count) % count;
    choice_.name = characters[static_cast<size_t>(index)].first;
    choice_.folder = characters[static_cast<size_t>(index)].second;
    choice_.skin = PickSkin(choice_, std::nullopt);
    return SetChange::NewCharacter;
}

SetChange CharacterMode::Drop(const std::string& path)
{
    // The problems of the dropped game data replace the old ones only when
    // it opens; those of mounting the old data again are listed already.
    std::vector<platform::RecordedMessage> found;
    struct GatherIntoGameData {
        CharacterMode& mode;
        ~GatherIntoGameData() { mode.gathering_ = &mode.gameDataProblems_; }
    } afterwards{*this};
    gathering_ = &found;
    try {
        CharacterChoice dropped = ResolvePathChoice(path);
        dropped.animations = choice_.animations;
        choice_ = std::move(dropped);
        Close();
    } catch (const CharacterError& e) {
        gathering_ = nullptr;
        status_ = "Could not open " + path + ": " + e.what();
        platform::ShowMessage(e.what(), kCaption);
        MountChoice(choice_);
        return SetChange::Redraw;
    }
    gameDataProblems_ = std::move(found);
    gathering_ = &gameDataProblems_;
    readShaders();
    return SetChange::NewCharacter;
}

const TMD3Model* CharacterMode::FramedModel(float seconds)
{
    UpdateGamePlayer(player_, seconds);
    return &player_.Lower.model;
}

std::unordered_set<const TMesh*> CharacterMode::MeshesDrawingNothing() const
{
    return ::MeshesDrawingNothing(player_.Lower);
}

std::string CharacterMode::LightDescription() const
{
    return CurrentSceneLight() == SceneLight::Game ? "the game's (G: the viewer's eight lights)"
                                                   : "the viewer's eight lights (G: the game's)";
}

std::vector<platform::RecordedMessage> CharacterMode::Problems() const
{
    std::vector<platform::RecordedMessage> problems = gameDataProblems_;
    problems.insert(problems.end(), loadProblems_.begin(), loadProblems_.end());
    return problems;
}

std::vector<std::string> CharacterMode::OverlayLines() const
{
    const std::vector<platform::RecordedMessage> problems = Problems();
    std::vector<std::string> lines{
        choice_.name + " (" + choice_.skin + ")",
        partLine("Torso", player_.TorsoAnim, player_.Upper),
        partLine("Legs", player_.LegsAnim, player_.Lower),
        paused_ ? "Paused: Comma/Period step one frame back/on, Space plays" : "Playing: Space pauses to step frames",
        "Light: " + (TGLLighter::Instance()->IsLightingOn() ? LightDescription() : std::string("off (L)")),
        problems.empty() ? std::string("Problems: none")
                         : "Problems: " + std::to_string(problems.size()) + (showProblems_ ? " (E hides them)"
                                                                                           : " (E lists them)"),
    };
    // A fact of the machine, not of the character: told once, counted nowhere.
    for (const platform::RecordedMessage& fact : machineFacts_)
        lines.push_back("Machine: " + fact.text);
    // What the game would show instead, in one line; E lists the reasons.
    if (!player_.Refusals.empty())
        lines.push_back("Game: refuses this character and shows its default one (" +
                        std::to_string(player_.Refusals.size()) + (player_.Refusals.size() == 1 ? " reason" : " reasons") +
                        ", E lists them)");
    if (!status_.empty())
        lines.push_back(status_);
    lines.push_back(kKeysLine);
    if (showProblems_) {
        for (const platform::RecordedMessage& problem : problems)
            lines.push_back("- " + problem.caption + ": " + problem.text);
    }
    return lines;
}

void CharacterMode::SaveView(int width, int height, const std::vector<uint8_t>& rgb)
{
    const std::string stem =
        std::string(kPictureStem) + "-" + fileNamePart(choice_.name) + "-" + fileNamePart(choice_.skin);
    try {
        status_ = "Saved " + SaveViewPicture(stem, width, height, rgb);
    } catch (const std::exception& e) {
        status_ = std::string("Not saved: ") + e.what();
        std::fprintf(stderr, "%s: %s\n", kCaption, status_.c_str());
    }
}
