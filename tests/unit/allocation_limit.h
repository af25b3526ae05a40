#pragma once

#include <atomic>
#include <cstddef>

// Allocations larger than this fail (std::bad_alloc) while a test sets it
// lower. The test program's operator new is replaced in allocation_limit.cpp.
extern std::atomic<size_t> failAllocationsAbove;

// The bytes the test program's operator new holds now, and the most it has
// held since ResetAllocationPeak.
size_t AllocatedBytes();
size_t PeakAllocatedBytes();
void ResetAllocationPeak();
