#include "Check.h"

#include "CheckOutput.h"
#include "CheckRun.h"

#include "app/common/Outputs.h"
#include "platform/system/System.h"
#include "platform/system/Workers.h"
#include "textures/ImageMemory.h"

#include <cstdio>
#include <stdexcept>

namespace {

constexpr int kCheckedImageSide = 64;

} // namespace

int RunCheck(const CommandLine& options)
{
    // What mounting leaves out becomes findings, not lines on standard error.
    SendMountProblemsTo(MountProblemsTo::Caller);
    std::vector<CharacterChoice> characters;
    try {
        characters = ResolveCharacterList(options);
    } catch (const std::runtime_error& e) {
        // Unknown names, folders without a character, a game root that
        // cannot be read or holds no character.
        std::fprintf(stderr, "Quillmo: %s\n", e.what());
        return kExitCannotRun;
    }
    // The checker keeps no pixels: images are decoded as small as they go
    // (every byte of their data is still read and checked).
    UseDecodedImageSide(kCheckedImageSide);
    CheckReport report;
    try {
        report = CheckCharacters(characters, options.jobs ? static_cast<unsigned>(*options.jobs) : platform::CoreCount());
    } catch (const std::runtime_error& e) {
        std::fprintf(stderr, "Quillmo: %s\n", e.what());
        return kExitCannotRun;
    }
    const std::string format = options.format.value_or("text");
    const std::string text = format == "json"    ? JsonReport(report)
                             : format == "sarif" ? SarifReport(report)
                                                 : TextReport(report);
    return FinishOutput(report.Errors() > 0 ? kExitProblems : kExitDone,
                        [&] { platform::WriteStandardOutput(text); });
}
