// The test program's operator new, which fails past a limit a test sets
// and counts what it holds (allocation_limit.h). In a file of its own, so
// that no test inlines it.
#include "allocation_limit.h"

#include <malloc.h>

#include <cstdlib>
#include <new>

std::atomic<size_t> failAllocationsAbove{~size_t{0}};

namespace {

std::atomic<size_t> allocated{0}, peak{0};

void Release(void* p) noexcept
{
    if (p == nullptr)
        return;
    allocated -= _msize(p);
    std::free(p);
}

}  // namespace

size_t AllocatedBytes() { return allocated.load(); }
size_t PeakAllocatedBytes() { return peak.load(); }
void ResetAllocationPeak() { peak = allocated.load(); }

void* operator new(size_t size)
{
    if (size > failAllocationsAbove.load(std::memory_order_relaxed))
        throw std::bad_alloc();
    if (void* p = std::malloc(size ? size : 1)) {
        const size_t now = allocated += _msize(p);
        size_t most = peak.load(std::memory_order_relaxed);
        while (now > most && !peak.compare_exchange_weak(most, now)) {
        }
        return p;
    }
    throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, size_t) noexcept { Release(p); }
void operator delete[](void* p, size_t) noexcept { Release(p); }
