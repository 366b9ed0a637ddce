// The viewer's start: units in link order, the application and its main
// window, the message loop (or a scripted run of frames), then the units'
// ends in reverse.
#include "app/character/CharacterMode.h"
#include "app/common/CommandLine.h"
#include "app/common/Outputs.h"
#include "app/export/AnimatedPreview.h"
#include "app/export/GltfExport.h"
#include "app/import/GltfImport.h"
#include "app/pack/Pack.h"
#include "app/tools/Check.h"
#include "app/tools/ContactSheet.h"
#include "app/tools/Surfaces.h"
#include "app/tools/Thumbnail.h"
#include "app/viewer/Unit1.h"
#include "app/viewer/Units.h"

#include "platform/images/PngFile.h"
#include "platform/system/Dialogs.h"
#include "platform/system/System.h"
#include "platform/window/GLContext.h"
#include "platform/window/MessageBoxes.h"
#include "platform/window/Window.h"
#include "textures/ImageMemory.h"

#include <GL/gl.h>

#include <cstdio>
#include <optional>
#include <vector>

namespace {

// The scripted clock starts well away from zero, like a machine's uptime.
constexpr uint32_t kScriptedClockStartMs = 100000;
constexpr uint32_t kScriptedFrameMs = 40;

// Draws the frames of a scripted run; the last one is captured right before
// it is presented and written as PNG when a file was asked for.
int runFrames(TForm1& form, const CommandLine& options)
{
    std::vector<uint8_t> pixels;
    int width = 0, height = 0;
    for (int i = 1; i <= *options.frames; ++i) {
        if (i == *options.frames && options.screenshot) {
            platform::SetBeforeSwapHook([&] {
                width = form.Window().ClientWidth();
                height = form.Window().ClientHeight();
                pixels.resize(static_cast<size_t>(width) * height * 3);
                glPixelStorei(GL_PACK_ALIGNMENT, 1);
                glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
            });
        }
        platform::AdvanceTickCount(kScriptedFrameMs);
        // A paused timer draws frames of the unchanged pose.
        platform::RunHandler([&] {
            if (form.Timer1.Enabled())
                form.Timer1Timer();
            else
                form.DrawFrame();
        });
    }
    platform::SetBeforeSwapHook(nullptr);
    if (!options.screenshot)
        return kExitDone;
    if (pixels.empty()) {
        std::fprintf(stderr, "Quillmo: no frame was drawn for %s\n", options.screenshot->c_str());
        return kExitProblems;
    }
    return FinishOutput(kExitDone, [&] { platform::WritePng(*options.screenshot, width, height, pixels); });
}

int runViewer(const CommandLine& options, CharacterMode* characters)
{
    platform::Application::Initialize(false);
    if (platform::Application::NoDisplay() && !options.frames) {
        std::fprintf(stderr, "Quillmo: no display to show the viewer on; use --frames N --screenshot FILE.png "
                             "to draw a picture without one\n");
        platform::Application::Finish();
        return 1;
    }
    int status = 0;
    {
        platform::Window window;
        platform::WindowPlacement placement;
        if (options.size) {
            placement.width = options.size->first;
            placement.height = options.size->second;
        }
        window.Create(placement);
        TForm1 form(window);
        form.PresetAnswer = options.answer;
        form.Characters = characters;
        platform::RunHandler([&] { form.FormCreate(); });
        window.Show();
        platform::RunHandler([&] { form.FormResize(); });
        for (size_t i = 0; i < options.keys.size(); ++i) {
            uint16_t key = options.keys[i];
            platform::RunHandler([&] { form.FormKeyDown(key, options.keyShifts[i]); });
        }
        if (options.frames)
            status = runFrames(form, options);
        else
            platform::Application::Run(window, form.Timer1);
        platform::RunHandler([&] { form.FormDestroy(); });
    }
    platform::Application::Finish();
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    platform::UseWindowMessageBoxes();
    CommandLine options;
    try {
        options = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const CommandLineError& e) {
        std::fprintf(stderr, "Quillmo: %s\n", e.what());
        return 2;
    }
    if (options.help) {
        std::fputs(CommandLineUsage(), stdout);
        return 0;
    }
    if (options.imageMemoryMB)
        SetImageMemoryLimit(static_cast<uint64_t>(*options.imageMemoryMB) << 20);
    // The checker shows no window and starts no component, so it writes no
    // settings; nothing it meets may wait on a message box.
    if (options.check) {
        platform::SetNonInteractive(true);
        return RunCheck(options);
    }
    // The tools draw without a window and run their units themselves.
    if (options.surfaces)
        return RunSurfaces(options);
    if (options.contactSheet)
        return RunContactSheet(options);
    if (options.thumbnailInput)
        return RunThumbnail(options);
    if (options.packFile)
        return RunPack(options);
    if (options.importFile)
        return RunImport(options);
    // Character mode's runs that write the character to a file.
    if (options.exportFile)
        return RunExport(options);
    if (options.recordFile)
        return RunRecord(options);
    if (options.batch)
        platform::SetNonInteractive(true);
    if (options.frames)
        platform::UseManualClock(kScriptedClockStartMs);

    // Character mode finds its game data and character before anything else
    // starts, so that a name that is not there ends the program at once.
    std::optional<CharacterMode> characters;
    if (options.CharacterMode()) {
        try {
            characters.emplace(options);
        } catch (const CharacterError& e) {
            std::fprintf(stderr, "Quillmo: %s\n", e.what());
            return 2;
        }
    }

    StartUnits();
    if (options.modelRoot)
        ModelRoot = platform::IncludeTrailingPathDelimiter(platform::ExpandFileName(*options.modelRoot));
    int status = 0;
    try {
        status = runViewer(options, characters ? &*characters : nullptr);
    } catch (const std::exception& e) {
        platform::ShowErrorBox(e.what());
        status = 1;
    }
    EndUnits();
    // A run without boxes says when what it showed was not whole.
    if (options.batch && status == kExitDone && platform::LoadProblemCount() > 0)
        status = kExitProblems;
    return status;
}
