// Animation files and playback by the game's rules.
#include "GameAnimation.h"

#include "GameTokens.h"
#include "platform/files/FileLayer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <limits>

namespace {

constexpr const char* kNames[] = {
    "BOTH_DEATH1",       "BOTH_DEAD1",      "BOTH_DEATH2",   "BOTH_DEAD2",     "BOTH_DEATH3",    "BOTH_DEAD3",
    "TORSO_GESTURE",     "TORSO_ATTACK",    "TORSO_ATTACK2", "TORSO_DROP",     "TORSO_RAISE",    "TORSO_STAND",
    "TORSO_STAND2",      "LEGS_WALKCR",     "LEGS_WALK",     "LEGS_RUN",       "LEGS_BACK",      "LEGS_SWIM",
    "LEGS_JUMP",         "LEGS_LAND",       "LEGS_JUMPB",    "LEGS_LANDB",     "LEGS_IDLE",      "LEGS_IDLECR",
    "LEGS_TURN",         "TORSO_GETFLAG",   "TORSO_GUARDBASE", "TORSO_PATROL", "TORSO_FOLLOWME", "TORSO_AFFIRMATIVE",
    "TORSO_NEGATIVE",    "",                "LEGS_BACKCR",   "LEGS_BACKWALK",  "FLAG_RUN",       "FLAG_STAND",
    "FLAG_STAND2RUN"};
static_assert(std::size(kNames) == kGameAnimationCount, "a name for every animation of the game");

// The game's frame clock gives up on a blend that lies this far ahead.
constexpr int64_t kMostLeadMs = 200;

// Milliseconds per frame at a rate, as the game truncates 1000 / rate to a
// whole number (a rate of 0 counts as 1). Rates the game's arithmetic has no
// defined answer for (not a number, or so small that the period leaves the
// integers) are taken as frozen (0) or the longest period.
int32_t frameLerpMs(double rate)
{
    const float fps = rate == 0 ? 1.0f : static_cast<float>(rate);
    const float period = 1000.0f / fps;
    if (std::isnan(period))
        return 0;
    if (period >= static_cast<float>(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    if (period <= static_cast<float>(std::numeric_limits<int32_t>::min()))
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(period);
}

int32_t wrapped(int64_t value) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(value))); }

// One entry made from the four numbers as the game stores them.
GameAnimationEntry makeEntry(int32_t first, int32_t count, int32_t looping, double rate)
{
    GameAnimationEntry a;
    a.FirstFrame = first;
    a.LoopingFrames = looping;
    a.Reversed = count < 0;
    a.FrameCount = a.Reversed ? wrapped(-static_cast<int64_t>(count)) : count;
    a.NumFrames = a.FrameCount > 0 ? a.FrameCount - 1 : 0;
    a.FrameLerpMs = a.InitialLerpMs = frameLerpMs(rate);
    a.FPS = a.FrameLerpMs > 0 ? static_cast<int32_t>(1000 / a.FrameLerpMs) : 0;
    return a;
}

// The keyword part of the file; true when the entries begin (the token that
// begins them is given back in first).
bool readKeywords(GameTokens& tokens, GameAnimationFile& file, std::string& first)
{
    for (;;) {
        std::string token = tokens.Next();
        if (token.empty())
            return false;
        const int line = tokens.Line();
        std::string keyword = token;
        for (char& c : keyword)
            c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        // How many values each keyword takes; headoffset takes up to three
        // tokens whatever they are.
        const int values = keyword == "footsteps" || keyword == "sex" ? 1
                           : keyword == "headoffset"                  ? 3
                           : keyword == "fixedlegs" || keyword == "fixedtorso" ? 0
                                                                              : -1;
        if (values >= 0) {
            AnimationKeyword read{keyword, {}, line};
            for (int i = 0; i < values; ++i) {
                std::string value = tokens.Next();
                if (value.empty())
                    break;
                read.values.push_back(std::move(value));
            }
            const bool ended = static_cast<int>(read.values.size()) < values && keyword != "headoffset";
            file.keywords.push_back(std::move(read));
            if (ended)
                return false;
            continue;
        }
        if (token[0] >= '0' && token[0] <= '9') {
            first = std::move(token);
            return true;
        }
        file.problems.push_back({line, "unknown token '" + token + "'; the game skips it"});
    }
}

// The entries the game makes itself from those it read.
void fillMadeEntries(std::array<GameAnimationEntry, kGameAnimationCount>& entries)
{
    entries[kLegsBackCrouched] = entries[kLegsWalkCrouched];
    entries[kLegsBackCrouched].Reversed = true;
    entries[kLegsBackWalk] = entries[kLegsWalk];
    entries[kLegsBackWalk].Reversed = true;
    entries[kFlagRun] = makeEntry(0, 16, 16, 15);
    entries[kFlagStand] = makeEntry(16, 5, 0, 20);
    entries[kFlagStandToRun] = makeEntry(16, -5, 1, 15);
}

} // namespace

GameAnimationFile ReadGameAnimation(std::string_view text)
{
    GameAnimationFile file;
    if (text.empty()) {
        file.refusal = "the file is empty";
        return file;
    }
    if (text.size() >= kMostAnimationFileBytes) {
        file.refusal = "the file is " + std::to_string(text.size()) + " bytes long; the game reads files shorter than " +
                       std::to_string(kMostAnimationFileBytes) + " bytes";
        return file;
    }
    GameTokens tokens(text, GameTokens::Words::EndAtBlank);
    std::string token;
    const bool entriesBegin = readKeywords(tokens, file, token);
    int32_t legsShift = 0;
    for (uint32_t i = 0; i < kGameAnimationsRead; ++i) {
        if (i > 0 || !entriesBegin)
            token = tokens.Next();
        if (token.empty() && i >= kTorsoGetFlag) {
            // The newer torso animations may be left out: they play the gesture.
            for (uint32_t k = i; k < kGameAnimationsRead; ++k) {
                file.entries[k] = file.entries[kTorsoGesture];
                file.entries[k].Reversed = false;
            }
            file.copiedFromGesture = true;
            break;
        }
        std::string numbers[4] = {token, "", "", ""};
        for (int n = 1; n < 4 && !numbers[n - 1].empty(); ++n)
            numbers[n] = tokens.Next();
        if (numbers[3].empty()) {
            file.refusal = (numbers[0].empty() ? "the file holds " + std::to_string(i) + " complete entries"
                                               : "the file ends inside entry " + std::to_string(i + 1) + " (" +
                                                     kNames[i] + ")") +
                           "; the game needs the first " + std::to_string(kTorsoGetFlag) +
                           " (\"Error parsing animation file\")";
            break;
        }
        int32_t first = GameAtoi(numbers[0]);
        // Legs frames follow the shared ones in the legs file: the legs
        // entries move down by the distance between the first legs entry and
        // the first torso one.
        if (i == kLegsWalkCrouched)
            legsShift = wrapped(static_cast<int64_t>(first) - file.entries[kTorsoGesture].FirstFrame);
        if (i >= kLegsWalkCrouched && i < kTorsoGetFlag)
            first = wrapped(static_cast<int64_t>(first) - legsShift);
        file.entries[i] = makeEntry(first, GameAtoi(numbers[1]), GameAtoi(numbers[2]), GameAtof(numbers[3]));
        ++file.entriesRead;
    }
    fillMadeEntries(file.entries);
    return file;
}

namespace {

// A rate as the file writes it whose period, as the game truncates it, is
// periodMs.
std::string rateText(int32_t periodMs)
{
    if (periodMs <= 0)
        return "2000"; // faster than one frame a millisecond: held still
    const int64_t whole = 1000 / periodMs;
    for (const int64_t rate : {whole, whole + 1, whole - 1})
        if (rate > 0 && frameLerpMs(static_cast<double>(rate)) == periodMs)
            return std::to_string(rate);
    // The middle of the rates that give the period, written to be read back.
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", 1000.0 / (periodMs + 0.5));
    return text;
}

} // namespace

std::string GameAnimationText(const std::vector<AnimationKeyword>& keywords,
                              const std::vector<GameAnimationEntry>& entries)
{
    std::string text;
    for (const AnimationKeyword& keyword : keywords) {
        text += keyword.keyword;
        for (const std::string& value : keyword.values)
            text += " " + value;
        text += "\n";
    }
    text += "\n";
    // The legs entries follow the torso's frames in the file's numbering.
    int64_t torsoEnd = 0;
    for (uint32_t k = kTorsoGesture; k < kLegsWalkCrouched && k < entries.size(); ++k)
        torsoEnd = std::max<int64_t>(torsoEnd, static_cast<int64_t>(entries[k].FirstFrame) + entries[k].FrameCount);
    const int64_t legsShift =
        entries.size() > kLegsWalkCrouched ? std::max<int64_t>(0, torsoEnd - entries[kLegsWalkCrouched].FirstFrame) : 0;
    for (uint32_t k = 0; k < entries.size() && k < kGameAnimationsRead; ++k) {
        const GameAnimationEntry& e = entries[k];
        const int64_t first = e.FirstFrame + (k >= kLegsWalkCrouched && k < kTorsoGetFlag ? legsShift : 0);
        const int64_t count = e.Reversed ? -static_cast<int64_t>(e.FrameCount) : e.FrameCount;
        text += std::to_string(wrapped(first)) + "\t" + std::to_string(wrapped(count)) + "\t" +
                std::to_string(e.LoopingFrames) + "\t" + rateText(e.FrameLerpMs) + "\t\t// " + kNames[k] + "\n";
    }
    return text;
}

GameAnimationFile ReadGameAnimationFile(const std::string& path)
{
    const std::vector<uint8_t> bytes = platform::files::ReadFileBytes(path);
    return ReadGameAnimation({reinterpret_cast<const char*>(bytes.data()), bytes.size()});
}

const char* GameAnimationName(uint32_t k) { return k < kGameAnimationCount ? kNames[k] : ""; }

int64_t GameTimeMs(float seconds) { return std::llround(static_cast<double>(seconds) * 1000.0); }

FrameSequence GameFrameSequence(const GameAnimationEntry& entry)
{
    const int64_t first = entry.FirstFrame, count = entry.FrameCount;
    return entry.Reversed ? FrameSequence{first + count - 1, -1, count} : FrameSequence{first, 1, count};
}

int32_t GameFramePeriodMs(const GameAnimationEntry& entry) { return entry.FrameLerpMs; }

int64_t GamePlaceAfterEnd(int64_t count, int64_t loopingFrames, int64_t place, bool& stuck)
{
    stuck = false;
    if (place < count)
        return place;
    place -= count;
    if (loopingFrames != 0)
        return place % loopingFrames + count - loopingFrames;
    stuck = true;
    return count - 1;
}

namespace {

// The file frame of place f of an animation.
int32_t frameAt(const GameAnimationEntry& a, int64_t f) { return wrapped(GameFrameSequence(a).FrameAt(f)); }

// Place f of an animation once it has run past its end.
int64_t placeAfterEnd(const GameAnimationEntry& a, int64_t f, bool& stuck)
{
    return GamePlaceAfterEnd(GameFrameSequence(a).count, a.LoopingFrames, f, stuck);
}

void showLerp(GamePart& part, float blend)
{
    part.model.CurrentFrame = part.lerp.oldFrame;
    part.model.NextFrame = part.lerp.frame;
    part.model.Blend = blend;
}

// A part's first update after its first animation was set.
void clearLerp(GamePart& part, int64_t now)
{
    GameLerp& lerp = part.lerp;
    lerp.frameTime = lerp.oldFrameTime = now;
    lerp.animationTime = now + part.playing.InitialLerpMs;
    // Even a reversed animation starts from its first frame in the file.
    lerp.oldFrame = lerp.frame = part.playing.FirstFrame;
    lerp.oldStep = lerp.step = 0;
    lerp.started = true;
    lerp.changed = false;
}

} // namespace

bool GameAnimationDrivesLegs(uint32_t k)
{
    // The game also plays the two backwards walks it makes from the table.
    return AnimationDrivesLegs(k) || k == kLegsBackCrouched || k == kLegsBackWalk;
}

bool GameAnimationDrivesTorso(uint32_t k)
{
    return AnimationDrivesTorso(k) || (k >= kTorsoGetFlag && k <= kTorsoNegative);
}

void StartGameAnimation(GamePart& part, const GameAnimationEntry& animation)
{
    part.playing = animation;
    part.lerp.changed = part.lerp.started;
    TMD3Model& model = part.model;
    model.FPS = animation.FPS;
    model.StartFrame = animation.FirstFrame;
    model.NextFrame = animation.FirstFrame;
    model.EndFrame = wrapped(static_cast<int64_t>(animation.FirstFrame) + animation.NumFrames);
}

void SetGameAnimation(GamePlayer& player, uint32_t k)
{
    if (GameAnimationDrivesLegs(k)) {
        StartGameAnimation(player.Lower, player.Animations[k]);
        player.LegsAnim = static_cast<int32_t>(k);
    }
    if (GameAnimationDrivesTorso(k)) {
        StartGameAnimation(player.Upper, player.Animations[k]);
        player.TorsoAnim = static_cast<int32_t>(k);
    }
}

void UpdateGamePlayer(GamePlayer& player, float seconds)
{
    const int64_t now = GameTimeMs(seconds);
    for (GamePart* part : {&player.Lower, &player.Upper, &player.Head})
        UpdateGameFrame(*part, now);
}

void UpdateGameFrame(GamePart& part, int64_t now)
{
    GameLerp& lerp = part.lerp;
    const GameAnimationEntry& a = part.playing;
    if (!lerp.started)
        clearLerp(part, now);
    if (lerp.changed) {
        lerp.animationTime = lerp.frameTime + a.InitialLerpMs;
        lerp.changed = false;
    }
    if (now >= lerp.frameTime) {
        lerp.oldFrame = lerp.frame;
        lerp.oldFrameTime = lerp.frameTime;
        lerp.oldStep = lerp.step;
        // A period of 0 (a rate above 1000) freezes the part where it is.
        const int32_t periodMs = GameFramePeriodMs(a);
        if (periodMs == 0) {
            showLerp(part, 0);
            return;
        }
        lerp.frameTime = now < lerp.animationTime ? lerp.animationTime : lerp.oldFrameTime + periodMs;
        bool stuck = false;
        const int64_t f = placeAfterEnd(a, (lerp.frameTime - lerp.animationTime) / periodMs, stuck);
        // An animation stopped on its last frame lets the next one begin at once.
        if (stuck)
            lerp.frameTime = now;
        lerp.frame = frameAt(a, f);
        lerp.step = f;
        // One switch per update: a clock that jumped catches up here.
        if (now > lerp.frameTime)
            lerp.frameTime = now;
    }
    if (lerp.frameTime > now + kMostLeadMs)
        lerp.frameTime = now;
    if (lerp.oldFrameTime > now)
        lerp.oldFrameTime = now;
    const float backLerp = lerp.frameTime == lerp.oldFrameTime
                               ? 0.0f
                               : 1.0f - static_cast<float>(now - lerp.oldFrameTime) /
                                            static_cast<float>(lerp.frameTime - lerp.oldFrameTime);
    showLerp(part, 1.0f - backLerp);
}

void StepGameFrame(GamePart& part, int step, int64_t now)
{
    GameLerp& lerp = part.lerp;
    const GameAnimationEntry& a = part.playing;
    const int32_t periodMs = GameFramePeriodMs(a);
    if (periodMs <= 0)
        return;
    int64_t place = 0;
    if (lerp.started && !lerp.changed) {
        // On: the frame blended towards, or the one after it once it shows.
        // Back: the one before the frame shown.
        const bool onTarget = lerp.oldFrame == lerp.frame || part.model.Blend >= 1.0f;
        place = step > 0 ? (onTarget ? lerp.step + 1 : lerp.step) : std::max<int64_t>(0, lerp.oldStep - 1);
    }
    bool stuck = false;
    place = placeAfterEnd(a, place, stuck);
    // The part stands on that place now, and the animation's clock is set as
    // if it had played up to it.
    lerp.started = true;
    lerp.changed = false;
    lerp.animationTime = now - place * periodMs;
    lerp.oldFrame = lerp.frame = frameAt(a, place);
    lerp.oldFrameTime = lerp.frameTime = now;
    lerp.oldStep = lerp.step = place;
    showLerp(part, 0);
}
