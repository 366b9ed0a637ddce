#include "Pack.h"

#include "PackPlan.h"
#include "PackViews.h"

#include "app/common/CharacterPicture.h"
#include "app/common/Outputs.h"
#include "app/tools/CheckOutput.h"
#include "platform/files/FileLayer.h"
#include "platform/system/Errors.h"
#include "platform/system/System.h"
#include "platform/window/BareGLWindow.h"

#include <cstdio>
#include <filesystem>

namespace {

namespace files = platform::files;

// The most differences a failed proof prints.
constexpr size_t kMostDifferencesShown = 20;

void tell(const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); }

std::string listing(const PackPlan& plan, bool why)
{
    std::string text;
    for (const PackEntry& entry : plan.entries) {
        text += entry.name + "\n";
        if (why) {
            for (const std::string& reason : entry.why)
                text += "    " + reason + "\n";
        }
    }
    return text;
}

std::string summary(const PackPlan& plan)
{
    return std::to_string(plan.entries.size()) + (plan.entries.size() == 1 ? " file, " : " files, ") +
           std::to_string(plan.Bytes()) + " bytes for " + plan.character + "; " +
           std::to_string(plan.providedByBase) + " more that the base game provides alike left out";
}

int pack(const CommandLine& options)
{
    const std::string& out = *options.packFile;
    PackViews views(options);
    for (const files::MountProblem& problem : files::MountProblems())
        tell(std::string(kGameDataSubject) + ": warning: " + files::MountProblemText(problem));
    platform::BareGLWindow context(16, 16, true);
    const PackPlan plan = PlanPack(views, options.force);
    for (const CheckFinding& finding : plan.check.findings)
        tell(FindingLine(finding));
    for (const std::string& warning : plan.warnings)
        tell(plan.character + ": warning: " + warning);
    const bool errors = plan.check.Errors() > 0;
    if (options.dryRun || options.why)
        platform::WriteStandardOutput(listing(plan, options.why));
    if (plan.entries.empty()) {
        tell(plan.character + ": error: nothing to pack: the base game provides every file the game reads for it");
        return kExitProblems;
    }
    if (options.dryRun) {
        platform::WriteStandardOutput(summary(plan) + " (a dry run: nothing written)\n");
        return errors ? kExitProblems : kExitDone;
    }
    if (errors && !options.force) {
        tell("Quillmo: the check of " + plan.character + " found " + std::to_string(plan.check.Errors()) +
             " error(s); " + out + " is not written (--force writes it)");
        return kExitProblems;
    }
    // Written beside OUT first and put in its place once proven, so that a
    // pack that fails its proof leaves an earlier OUT as it was.
    const std::string written = out + ".partial";
    struct Removed {
        const std::string& path;
        ~Removed()
        {
            std::error_code ec;
            std::filesystem::remove(path, ec);
        }
    } removed{written};
    try {
        WritePack(plan, written);
    } catch (const platform::EInOutError& e) {
        tell(std::string("Quillmo: ") + e.what());
        return kExitCannotRun;
    }

    // The proof: the pack alone over the base shows what the source showed.
    const std::vector<std::string> different = ProvePack(views, plan, written);
    files::MountDisk();
    if (!different.empty()) {
        tell(plan.character + ": error: reopened over the base game, the pack does not show the character as its "
             "source does (" + std::to_string(different.size()) + " difference(s)); " + out + " is not written");
        for (size_t i = 0; i < different.size() && i < kMostDifferencesShown; ++i)
            tell("  " + different[i]);
        return kExitProblems;
    }
    std::error_code ec;
    std::filesystem::rename(written, out, ec);
    if (ec) {
        tell("Quillmo: Cannot write " + out + ": " + ec.message());
        return kExitCannotRun;
    }
    const int status = errors ? kExitProblems : kExitDone;
    return FinishOutput(status, [&] {
        platform::WriteStandardOutput(summary(plan) + "; written to " + out +
                                      ", and reopened over the base game it shows the character as its source "
                                      "does\n");
    });
}

} // namespace

int RunPack(const CommandLine& options)
{
    try {
        OffscreenRun run;
        SendMountProblemsTo(MountProblemsTo::Caller);
        return pack(options);
    } catch (const CharacterError& e) {
        tell(std::string("Quillmo: ") + e.what());
    } catch (const platform::EInOutError& e) {
        tell(std::string("Quillmo: ") + e.what());
    } catch (const std::runtime_error& e) {
        tell(std::string("Quillmo: ") + e.what());
    }
    return kExitCannotRun;
}
