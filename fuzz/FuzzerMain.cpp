// One libFuzzer executable per reader: QUILLMO_FUZZ_TARGET names its entry point.
#include "Targets.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const fuzz::Target* const target = fuzz::FindTarget(QUILLMO_FUZZ_TARGET);
    target->run(fuzz::Input(data, size));
    return 0;
}
