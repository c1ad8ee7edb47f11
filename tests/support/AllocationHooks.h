#pragma once

#include <cstddef>

// The test programs' own operator new and delete (linked in from the object library
// quorix_allocation_hooks): they count the heap in use, and fail an allocation on request, as a machine out
// of memory does. Every thread's allocations count.
namespace allocation {
// Bytes of the heap in use now, and the most in use since ResetPeak.
size_t LiveBytes();
size_t PeakBytes();
void ResetPeak();

// The nth allocation from now (counting from 1) fails: operator new throws std::bad_alloc, the nothrow
// forms give null. 0 fails none; either way the allocations are counted from now.
void FailNth(long n);
// Allocations since the last FailNth.
long Counted();
// Whether the allocation asked for has failed.
bool Failed();
} // namespace allocation
