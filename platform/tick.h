#pragma once
#include <cstdint>

namespace platform {

// Milliseconds from a monotonic clock as an unsigned 32-bit count that wraps;
// compare only as unsigned differences.
std::uint32_t GetTickCount();

// Waits the given number of milliseconds.
void Sleep(std::uint32_t milliseconds);

}  // namespace platform
