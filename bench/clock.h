// The benchmark's one clock: the high-resolution counter, in milliseconds.
#pragma once
#include <windows.h>

namespace bench {

inline double nowMs()
{
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace bench
