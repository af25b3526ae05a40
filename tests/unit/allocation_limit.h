#pragma once

#include <atomic>
#include <cstddef>

// Allocations larger than this fail (std::bad_alloc) while a test sets it
// lower. The test program's operator new is replaced in allocation_limit.cpp.
extern std::atomic<size_t> failAllocationsAbove;
