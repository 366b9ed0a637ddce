#include "AnimatedPreview.h"

#include "app/common/CharacterChoice.h"
#include "app/common/CharacterPicture.h"
#include "app/common/Outputs.h"
#include "platform/images/AnimatedPictures.h"
#include "platform/system/Dialogs.h"
#include "platform/system/System.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr double kFullTurnDegrees = 360;
constexpr int kMsPerSecond = 1000;

} // namespace

int RunRecord(const CommandLine& options)
{
    const std::string& path = *options.recordFile;
    const bool gif = platform::LowerCase(path.substr(std::min(path.size(), path.rfind('.')))) == ".gif";
    const auto [width, height] = options.size.value_or(kDefaultRecordSize);
    const size_t count = static_cast<size_t>(
        std::max(1L, std::lround(options.seconds.value_or(kDefaultRecordSeconds) * kRecordFramesPerSecond)));
    // WebP's own limit, told before any picture is drawn.
    constexpr int kLargestWebpSide = 16383;
    if (!gif && (width > kLargestWebpSide || height > kLargestWebpSide)) {
        std::fprintf(stderr, "Quillmo: a WebP picture is at most %d pixels a side, not %d x %d\n", kLargestWebpSide,
                     width, height);
        return kExitCannotRun;
    }
    const size_t problemsBefore = platform::LoadProblemCount();
    // Each picture goes to the encoder as it is drawn; none is held.
    std::unique_ptr<platform::AnimatedWriter> writer;
    try {
        writer = platform::MakeAnimatedWriter(path, gif ? platform::AnimatedFormat::Gif : platform::AnimatedFormat::Webp,
                                              width, height, kMsPerSecond / kRecordFramesPerSecond);
        OffscreenRun run;
        CharacterChoice choice = ResolveCharacterChoice(options);
        choice.animations = options.animations;
        PictureStudio studio(width, height);
        const double turn = options.turntable ? kFullTurnDegrees / static_cast<double>(count) : 0;
        studio.DrawPlaying(choice, count, 1.0 / kRecordFramesPerSecond, turn, writer->Passes(),
                           [&](int pass, Picture&& picture) { writer->Add(pass, picture.rgb); });
    } catch (const NothingToDraw& e) {
        std::fprintf(stderr, "Quillmo: nothing to draw: %s\n", e.what());
        return kExitProblems;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Quillmo: %s\n", e.what());
        return kExitCannotRun;
    }
    const bool whole = platform::LoadProblemCount() == problemsBefore;
    return FinishOutput(whole ? kExitDone : kExitProblems, [&] { writer->Finish(); });
}
