#pragma once
// Bytes the allocator holds for the program: what leaks would raise, without
// the pages a freed block leaves mapped or the driver's compiled code.
#include <cstddef>

namespace testsupport {

// Live heap bytes: the sanitizer's count under it, else malloc's own.
size_t heapBytes();

} // namespace testsupport
