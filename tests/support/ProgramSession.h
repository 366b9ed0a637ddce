#pragma once
// The program's units and SDL started as main starts them, over a sandbox for
// the settings and on the manual clock, for suites that drive the real window;
// ended in the reverse order. Header only: it needs the app library, which
// only the suites that use it link.
#include "support/Sandbox.h"

#include "app/viewer/Units.h"
#include "platform/system/Dialogs.h"
#include "platform/system/System.h"
#include "platform/window/Window.h"

#include <cstdint>
#include <functional>

namespace testsupport {

class ProgramSession {
public:
    // prepare writes into the sandbox what the suite opens (sample models,
    // game data) before anything starts.
    ProgramSession(uint32_t clockStartMs, const std::function<void(const TempDir&)>& prepare)
    {
        platform::SetNonInteractive(true);
        prepare(sandbox.dir);
        platform::UseManualClock(clockStartMs);
        StartUnits();
        platform::Application::Initialize(true);
    }
    ~ProgramSession()
    {
        EndUnits();
        platform::Application::Finish();
        platform::UseWallClock();
    }
    ProgramSession(const ProgramSession&) = delete;
    ProgramSession& operator=(const ProgramSession&) = delete;

    Sandbox sandbox;
};

} // namespace testsupport
