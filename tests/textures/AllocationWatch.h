#pragma once
// The largest single request made through operator new in this test program,
// so that tests can bound what a reader allocates for a hostile file. The
// program's operator new is replaced (AllocationWatch.cpp); it still
// allocates with malloc.
#include <cstddef>

namespace testsupport {

void ResetLargestAllocation();
size_t LargestAllocation();

} // namespace testsupport
