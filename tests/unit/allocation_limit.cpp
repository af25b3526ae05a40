// The test program's operator new, which fails past a limit a test sets
// (allocation_limit.h). In a file of its own, so that no test inlines it.
#include "allocation_limit.h"

#include <cstdlib>
#include <new>

std::atomic<size_t> failAllocationsAbove{~size_t{0}};

void* operator new(size_t size)
{
    if (size > failAllocationsAbove.load(std::memory_order_relaxed))
        throw std::bad_alloc();
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
