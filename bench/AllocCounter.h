#pragma once

#include <atomic>
#include <cstdint>

// Counts every heap allocation made through operator new in this binary.
std::uint64_t HeapAllocationCount();
