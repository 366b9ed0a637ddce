#include "CheckAnimation.h"

#include "game/GameAnimation.h"
#include "platform/system/Errors.h"
#include "platform/system/System.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <string_view>

namespace {

constexpr std::string_view kSexLetters = "mfn";
constexpr const char* kFootsteps[] = {"default", "normal", "boot", "flesh", "mech", "energy"};
constexpr size_t kHeadOffsetNumbers = 3;

std::string quoted(const std::string& text) { return "'" + text + "'"; }

std::string joined(const std::vector<std::string>& words)
{
    std::string text;
    for (const std::string& word : words)
        text += (text.empty() ? "" : " ") + word;
    return text;
}

bool isNumber(const std::string& token)
{
    const char* first = token.data() + (token.size() > 1 && token[0] == '+' ? 1 : 0);
    const char* last = token.data() + token.size();
    double value = 0;
    const auto [end, error] = std::from_chars(first, last, value);
    return error == std::errc() && end == last && first != last;
}

// Keyword values the game does not take, and what it does instead.
void checkKeyword(const std::string& path, const AnimationKeyword& keyword, const AddFinding& add)
{
    const std::string where = path + ", line " + std::to_string(keyword.line) + ": " + keyword.keyword;
    const std::vector<std::string>& values = keyword.values;
    const std::string written = values.empty() ? "nothing" : quoted(joined(values));
    const auto warn = [&](const std::string& text, const std::string& gameDoes) {
        add(Severity::Warning, FindingKind::AnimationKeyword, path, static_cast<size_t>(keyword.line),
            text + "; " + gameDoes, gameDoes);
    };
    if (keyword.keyword == "sex") {
        const bool known =
            values.size() == 1 && kSexLetters.find(static_cast<char>(std::tolower(
                                      static_cast<unsigned char>(values[0][0])))) != std::string_view::npos;
        if (!known)
            warn(where + " takes m, f or n, not " + written, "the game takes the character as male");
    } else if (keyword.keyword == "footsteps") {
        const bool known =
            values.size() == 1 && std::any_of(std::begin(kFootsteps), std::end(kFootsteps), [&](const char* kind) {
                return platform::LowerCase(values[0]) == kind;
            });
        if (!known)
            warn(where + " takes default, normal, boot, flesh, mech or energy, not " + written,
                 "the game keeps normal footsteps");
    } else if (keyword.keyword == "headoffset") {
        if (values.size() != kHeadOffsetNumbers || !std::all_of(values.begin(), values.end(), isNumber))
            warn(where + " takes three numbers, not " + written,
                 "the game reads the next three words as numbers, 0 where they are none");
    }
}

// The frames an animation plays on a part it drives against the frames the
// part has: the game shows the first frame's pose for frames past the end,
// while the parts hanging on it follow the last frame's tags.
void checkRange(const std::string& path, uint32_t k, const GameAnimationEntry& a, const CheckedPart& part,
                const AddFinding& add)
{
    if (!part.model || a.FrameCount <= 0)
        return;
    const int64_t first = a.FirstFrame;
    const int64_t last = first + a.FrameCount - 1;
    const int64_t frames = part.model->Header.NumFrames;
    if (first >= 0 && last < frames)
        return;
    const std::string gameDoes = "the game draws " + part.path +
                                 " in its first frame's pose for the frames it lacks, with what hangs on it at its "
                                 "last frame's tags";
    add(Severity::Error, FindingKind::AnimationRange, path, 0,
        path + ": animation " + std::to_string(k) + " (" + GameAnimationName(k) + ") plays frames " +
            std::to_string(first) + " to " + std::to_string(last) + " of " + part.path + ", which has " +
            Plural(static_cast<int>(frames), "frame", "frames") + "; " + gameDoes,
        gameDoes);
}

std::string alsoTried(const FoundFile& found)
{
    std::string text;
    for (size_t i = 1; i < found.tried.size(); ++i)
        text += (text.empty() ? " (also looked for " : ", ") + found.tried[i];
    return text.empty() ? text : text + ")";
}

} // namespace

void CheckAnimationFile(const FoundFile& found, const CheckedPart& legs, const CheckedPart& torso,
                        const AddFinding& add)
{
    if (!found.path) {
        add(Severity::Error, FindingKind::AnimationMissing, found.tried.front(), 0,
            found.tried.front() + " is missing" + alsoTried(found) + "; " + kGameShowsDefault, kGameShowsDefault);
        return;
    }
    const std::string& path = *found.path;
    GameAnimationFile file;
    try {
        file = ReadGameAnimationFile(path);
    } catch (const platform::EInOutError& e) {
        add(Severity::Error, FindingKind::AnimationMissing, path, 0, std::string(e.what()) + "; " + kGameShowsDefault,
            kGameShowsDefault);
        return;
    }
    for (const AnimationProblem& problem : file.problems)
        add(Severity::Warning, FindingKind::AnimationLine, path, static_cast<size_t>(problem.line),
            path + ", line " + std::to_string(problem.line) + ": " + problem.text, "the game skips it");
    if (file.refusal)
        add(Severity::Error, FindingKind::AnimationCount, path, 0,
            path + ": " + *file.refusal + "; " + kGameShowsDefault, kGameShowsDefault);
    for (const AnimationKeyword& keyword : file.keywords)
        checkKeyword(path, keyword, add);
    // The entries read from the file; those the game copies or makes itself
    // repeat frames already checked.
    for (uint32_t k = 0; k < static_cast<uint32_t>(file.entriesRead); ++k) {
        if (GameAnimationDrivesLegs(k))
            checkRange(path, k, file.entries[k], legs, add);
        if (GameAnimationDrivesTorso(k))
            checkRange(path, k, file.entries[k], torso, add);
    }
}
