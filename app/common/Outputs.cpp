#include "Outputs.h"

#include "platform/system/Errors.h"

#include <cstdio>

int FinishOutput(int status, const std::function<void()>& write)
{
    try {
        write();
    } catch (const platform::EInOutError& e) {
        std::fprintf(stderr, "Quillmo: %s\n", e.what());
        return kExitCannotRun;
    }
    return status;
}
