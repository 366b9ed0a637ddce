#include "AllocationWatch.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<size_t> largest{0};

} // namespace

// The other forms of new and delete (arrays, nothrow) forward to these.
void* operator new(size_t size)
{
    size_t seen = largest.load(std::memory_order_relaxed);
    while (size > seen && !largest.compare_exchange_weak(seen, size, std::memory_order_relaxed)) {
    }
    if (void* block = std::malloc(size == 0 ? 1 : size))
        return block;
    throw std::bad_alloc();
}

void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, size_t) noexcept { std::free(block); }

namespace testsupport {

void ResetLargestAllocation() { largest.store(0); }
size_t LargestAllocation() { return largest.load(); }

} // namespace testsupport
