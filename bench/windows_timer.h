// Windows' default timer, for zelvo.dll's waits. Under Wine a Sleep lasts
// about what it asks for, to the millisecond; on Windows at the default
// timer resolution it lasts until the next 15.625 ms tick, unless a finer
// timer period is held (timeBeginPeriod). While a WindowsTimer lives, the
// Sleep that zelvo.dll imports returns as Windows' would, so the figures
// show what the library's waits would cost there:
//   - Sleep(n), n > 0, returns at the first tick at or after n ms from the
//     call; ticks are 15.625 ms apart on one process-wide clock (the
//     benchmark's counter, whose origin is arbitrary), 1 ms apart while a
//     period of 1 ms is held;
//   - Sleep(0) is left as it is;
//   - timeBeginPeriod and timeEndPeriod still reach the system; the periods
//     they grant are counted, which is what decides the ticks above.
// Redirections nest: a CallProfile started inside a WindowsTimer times the
// modelled Sleep, and must end first.
#pragma once
#include <functional>

#include "import_redirect.h"

namespace bench {

class WindowsTimer {
public:
    WindowsTimer();

private:
    RedirectedImports redirects_;
};

// What the modelled timer has seen since the program started.
struct TimerCounts {
    unsigned long periodsAsked = 0;  // timeBeginPeriod calls, of any period
    long finePeriodsHeld = 0;        // 1 ms periods granted and not given back
    unsigned long sleeps = 0;        // Sleep(n) with n > 0
    unsigned long fineSleeps = 0;    // of them, made while a 1 ms period was held
    double lateMs = 0;               // wake-ups past their tick, summed
};
[[nodiscard]] TimerCounts windowsTimerCounts();

// How zelvo.dll's Sleep behaves while a figure is measured.
enum class TimerMode { Native, Windows };
[[nodiscard]] const char* timerModeName(TimerMode mode);

// Runs `work` with zelvo.dll's Sleep as `mode` says.
void runInTimerMode(TimerMode mode, const std::function<void()>& work);

}  // namespace bench
