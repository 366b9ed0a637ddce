// The animation table ("animation.cfg") and frame playback.
#include "Model.h"
#include "platform/system/System.h"

#include "platform/system/Dialogs.h"
#include "platform/system/Errors.h"
#include "platform/files/FileLayer.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <sstream>

namespace {

// Animation indices by the parts they drive.
constexpr uint32_t kLastBothAnimation = 5;   // 0 ... 5: legs and torso
constexpr uint32_t kLastTorsoAnimation = 12; // 6 ... 12: torso
constexpr uint32_t kLastLegsAnimation = 24;  // 13 ... 24: legs
constexpr int kFirstTorsoAnimation = 6;
constexpr int kFirstLegsAnimation = 13;

// Frame arithmetic wraps like the 32-bit integers of the file, so that odd
// numbers in an animation file never overflow.
int32_t wrapAdd(int32_t a, int32_t b)
{
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

int32_t wrapSub(int32_t a, int32_t b)
{
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

// Header lines ("sex", "headoffset", "footsteps"), blank lines and comment
// lines carry no animation. A data line's comment starts after its fifth
// character.
bool isAnimationLine(const std::string& line)
{
    if (line.empty() || line.find("sex") != std::string::npos || line.find("headoffset") != std::string::npos ||
        line.find("footsteps") != std::string::npos)
        return false;
    const size_t comment = line.find("//");
    return comment != std::string::npos && comment + 1 > 5;
}

// Four whole numbers, each ended by a TAB. A missing TAB leaves an empty
// field, which is not a number.
TAnimation parseAnimationLine(std::string line)
{
    int32_t values[4];
    for (int32_t& value : values) {
        const size_t tab = line.find('\t');
        value = platform::StrToInt(tab == std::string::npos ? std::string() : line.substr(0, tab));
        line = tab == std::string::npos ? line : line.substr(tab + 1);
    }
    return {values[0], values[1], values[2], values[3]};
}

void startAnimation(TMD3Model& part, const TAnimation& animation)
{
    part.FPS = animation.FPS;
    part.StartFrame = animation.FirstFrame;
    part.NextFrame = animation.FirstFrame;
    part.EndFrame = wrapAdd(animation.FirstFrame, animation.NumFrames);
    part.LoopingFrames = animation.LoopingFrames;
}

constexpr const char* kAnimationCaption = "Animation";
// Frame switches at most done in one update, whatever the clock did.
constexpr int64_t kMostSwitches = 100000;

// The frame after frame by the game's rules: the range runs to its last
// frame; there the part stays (no looping frames) or goes back to the first
// of the last L frames.
int32_t followingFrame(const TMD3Model& part, int32_t frame)
{
    if (frame < part.EndFrame)
        return wrapAdd(frame, 1);
    const int64_t range = static_cast<int64_t>(part.EndFrame) - part.StartFrame + 1;
    if (part.LoopingFrames <= 0 || range <= 0)
        return part.EndFrame;
    const int64_t loop = std::min<int64_t>(part.LoopingFrames, range);
    return static_cast<int32_t>(part.EndFrame - loop + 1);
}

void updateGameFrame(TMD3Model& part, float t)
{
    // A rate of 0 (or below) never advances.
    if (part.FPS <= 0) {
        part.Blend = 0;
        return;
    }
    const double period = 1.0 / part.FPS;
    double elapsed = static_cast<double>(t) - part.LastTime;
    if (elapsed < 0) {
        // The clock went back (a new clock after a switch of character).
        part.LastTime = t;
        elapsed = 0;
    }
    const double periods = std::floor(elapsed / period);
    if (periods >= 1) {
        // After range + 1 switches a part has stopped or runs round its loop,
        // so a long jump of the clock only needs what is left of a round.
        const int64_t range = std::max<int64_t>(1, static_cast<int64_t>(part.EndFrame) - part.StartFrame + 1);
        const int64_t loop =
            part.LoopingFrames > 0 ? std::min<int64_t>(part.LoopingFrames, range) : 1;
        int64_t switches = periods > static_cast<double>(kMostSwitches) ? kMostSwitches : static_cast<int64_t>(periods);
        if (switches > range + 1)
            switches = range + 1 + (switches - range - 1) % loop;
        switches = std::min(switches, kMostSwitches);
        for (int64_t i = 0; i < switches; ++i) {
            part.CurrentFrame = part.NextFrame;
            part.NextFrame = followingFrame(part, part.NextFrame);
        }
        part.LastTime = static_cast<float>(part.LastTime + periods * period);
    }
    part.Blend = static_cast<float>(std::clamp((static_cast<double>(t) - part.LastTime) / period, 0.0, 1.0));
}


// The game's animation files are whitespace-separated tokens; "//" starts a
// comment wherever it stands, also inside a token.
std::vector<std::string> gameTokens(const std::string& line)
{
    const std::string text = line.substr(0, line.find("//"));
    std::vector<std::string> tokens;
    std::istringstream words(text);
    for (std::string token; words >> token;)
        tokens.push_back(token);
    return tokens;
}

bool isKeyword(const std::string& token)
{
    return token == "sex" || token == "headoffset" || token == "footsteps" || token == "fixedlegs" ||
           token == "fixedtorso";
}

bool startsLikeNumber(const std::string& token)
{
    const size_t digit = token[0] == '-' || token[0] == '+' ? 1 : 0;
    return digit < token.size() && std::isdigit(static_cast<unsigned char>(token[digit]));
}

// A whole decimal number with an optional sign that fits 32 bits.
bool wholeNumber(const std::string& token, int32_t& value)
{
    const char* first = token.data();
    const char* last = token.data() + token.size();
    if (first != last && *first == '+')
        ++first;
    const auto [end, error] = std::from_chars(first, last, value);
    return error == std::errc() && end == last && first != last;
}

} // namespace

void AdjustAnimations(std::array<TAnimation, kAnimationCount>& animations)
{
    // Legs frames are counted in the legs file, which holds no torso-only
    // frames: they move down by the distance between the first torso and the
    // first legs animation.
    const int32_t legsOffset = wrapSub(animations[kFirstLegsAnimation].FirstFrame,
                                       animations[kFirstTorsoAnimation].FirstFrame);
    for (size_t i = kFirstLegsAnimation; i < animations.size(); ++i)
        animations[i].FirstFrame = wrapSub(animations[i].FirstFrame, legsOffset);
    for (TAnimation& animation : animations) {
        if (animation.NumFrames > 0)
            --animation.NumFrames;
    }
}

bool AnimationDrivesLegs(uint32_t k)
{
    return k <= kLastBothAnimation || (k > kLastTorsoAnimation && k <= kLastLegsAnimation);
}

bool AnimationDrivesTorso(uint32_t k) { return k <= kLastTorsoAnimation; }

void LoadAnimation(Q3Player& player, const std::string& fileName, Conventions rules)
{
    if (!platform::files::FileExists(fileName))
        return;
    const std::vector<std::string> lines = platform::files::ReadTextLines(fileName);
    if (rules == Conventions::Viewer) {
        LoadAnimationFromLines(player, lines);
        return;
    }
    GameAnimationFile file = ParseGameAnimation(lines);
    for (const AnimationProblem& problem : file.problems)
        platform::ShowMessage(fileName + ", line " + std::to_string(problem.line) + ": " + problem.text,
                              kAnimationCaption);
    for (size_t i = 0; i < file.entries.size(); ++i)
        player.Animations[i] = file.entries[i];
    player.Keywords = std::move(file.keywords);
    AdjustAnimations(player.Animations);
}

void LoadAnimationFromLines(Q3Player& player, const std::vector<std::string>& lines)
{
    size_t entry = 0;
    for (const std::string& line : lines) {
        // The table has no room for further lines; they are not read.
        if (entry == player.Animations.size())
            break;
        if (isAnimationLine(line))
            player.Animations[entry++] = parseAnimationLine(line);
    }
    AdjustAnimations(player.Animations);
}

GameAnimationFile ParseGameAnimation(const std::vector<std::string>& lines)
{
    GameAnimationFile file;
    for (size_t index = 0; index < lines.size(); ++index) {
        const int lineNumber = static_cast<int>(index) + 1;
        const std::vector<std::string> tokens = gameTokens(lines[index]);
        if (tokens.empty())
            continue;
        const std::string keyword = platform::LowerCase(tokens[0]);
        if (isKeyword(keyword)) {
            file.keywords.push_back({keyword, std::vector<std::string>(tokens.begin() + 1, tokens.end()), lineNumber});
            continue;
        }
        std::vector<int32_t> numbers;
        for (const std::string& token : tokens) {
            int32_t value = 0;
            if (!wholeNumber(token, value)) {
                file.problems.push_back({lineNumber, numbers.empty() && !startsLikeNumber(token)
                                                         ? "unknown keyword '" + token + "'"
                                                         : "'" + token + "' is not a whole number"});
                break;
            }
            numbers.push_back(value);
        }
        if (numbers.size() != tokens.size())
            continue;
        if (numbers.size() != 4) {
            file.problems.push_back({lineNumber, "an animation line needs 4 numbers (first frame, count, looping "
                                                 "frames, rate), not " + std::to_string(numbers.size())});
            continue;
        }
        ++file.animationLines;
        // Lines past the table have no entry to fill.
        if (file.entries.size() < kAnimationCount)
            file.entries.push_back({numbers[0], numbers[1], numbers[2], numbers[3]});
    }
    return file;
}

void SetAnimation(Q3Player& player, uint32_t k)
{
    if (AnimationDrivesLegs(k)) {
        startAnimation(player.Lower, player.Animations[k]);
        player.LegsAnim = static_cast<int32_t>(k);
    }
    if (AnimationDrivesTorso(k)) {
        startAnimation(player.Upper, player.Animations[k]);
        player.TorsoAnim = static_cast<int32_t>(k);
    }
}

void UpdateFrame(TMD3Model& part, float t, Conventions rules)
{
    if (rules == Conventions::Game) {
        updateGameFrame(part, t);
        return;
    }
    part.Blend = t - part.LastTime;
    // A rate of 0 gives an endless period: the part never switches.
    const double period = part.FPS == 0 ? std::numeric_limits<double>::infinity() : 1.0 / part.FPS;
    if (period >= part.Blend)
        return;
    // One switch per call, however much time has passed.
    part.CurrentFrame = part.NextFrame;
    part.NextFrame = wrapAdd(part.NextFrame, 1);
    if (part.NextFrame > part.EndFrame)
        part.NextFrame = part.StartFrame;
    part.LastTime = t;
}

void StepFrame(TMD3Model& part, int step, float t, Conventions rules)
{
    // Playback's own next frame: by the game's rules a part at the end of a
    // range that does not loop stays there.
    const auto frameAfter = [&](int32_t frame) {
        if (rules == Conventions::Game)
            return followingFrame(part, frame);
        const int32_t next = wrapAdd(frame, 1);
        return next > part.EndFrame ? part.StartFrame : next;
    };
    if (step > 0) {
        part.CurrentFrame = part.NextFrame;
    } else if (part.CurrentFrame < part.StartFrame || part.CurrentFrame > part.EndFrame) {
        // Still blending in from the animation before: back is the range's start.
        part.CurrentFrame = part.StartFrame;
    } else if (part.CurrentFrame > part.StartFrame) {
        part.CurrentFrame = wrapSub(part.CurrentFrame, 1);
    } else if (rules == Conventions::Viewer) {
        part.CurrentFrame = part.EndFrame;
    }
    part.NextFrame = frameAfter(part.CurrentFrame);
    // The frame shows unblended on the stopped clock: no time has passed
    // since this switch.
    part.LastTime = t;
    part.Blend = 0;
}
