#include "support/HeapBytes.h"

#include <malloc.h>

// Bytes the sanitizer's allocator holds for the program; only there under it.
extern "C" size_t __sanitizer_get_current_allocated_bytes() __attribute__((weak));

namespace testsupport {

size_t heapBytes()
{
    if (__sanitizer_get_current_allocated_bytes)
        return __sanitizer_get_current_allocated_bytes();
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

} // namespace testsupport
