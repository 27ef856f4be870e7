#pragma once

#include <cstddef>

namespace orvane::testing {

// How often the global operator new (any form) has run in this program so far, on any thread.
// Linking AllocationCounter.cpp replaces the global allocation functions of the whole program,
// so it goes only into programs made to measure allocations.
std::size_t AllocationCount();

}  // namespace orvane::testing
