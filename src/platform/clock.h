// Elapsed-time bounds for the library's waits: every wait that polls the
// client ends by the clock, not by counting polls, so a coarse system timer
// cannot stretch it.
#pragma once
#include <windows.h>

namespace zelvo {

class Deadline {
public:
    explicit Deadline(DWORD milliseconds) noexcept
        : start_(GetTickCount64()), limit_(milliseconds) {}

    [[nodiscard]] bool expired() const noexcept { return elapsedMs() >= limit_; }
    [[nodiscard]] ULONGLONG elapsedMs() const noexcept { return GetTickCount64() - start_; }

private:
    ULONGLONG start_;
    ULONGLONG limit_;
};

}  // namespace zelvo
