#include "windows_timer.h"

#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <optional>

#include "clock.h"

namespace bench {

namespace {

constexpr double defaultTickMs = 15.625;
constexpr double fineTickMs = 1.0;
constexpr UINT finePeriodMs = 1;

using SleepFunction = void(WINAPI*)(DWORD);
using PeriodFunction = MMRESULT(WINAPI*)(UINT);
using DelayFunction = LONG(NTAPI*)(BOOLEAN, PLARGE_INTEGER);

// What zelvo.dll's slots held before the redirection.
SleepFunction slotSleep = nullptr;
PeriodFunction slotBeginPeriod = nullptr;
PeriodFunction slotEndPeriod = nullptr;

// Process-wide, as the system's timer is: a thread of the library other
// than the caller's would see the same ticks.
std::atomic<unsigned long> periodsAsked{0};
std::atomic<long> finePeriodsHeld{0};
std::atomic<unsigned long> sleeps{0};
std::atomic<unsigned long> fineSleeps{0};
std::atomic<unsigned long> lateMicroseconds{0};

// ntdll's delay takes 100 ns units, and Wine waits for it in the host's
// select() to the microsecond; Sleep would round each step to a whole
// millisecond and overshoot the tick. Resolved once; Sleep stands in where
// it is missing.
DelayFunction delayExecution()
{
    // Through void*: a cast from FARPROC to another function type draws a warning.
    static const auto delay = reinterpret_cast<DelayFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtDelayExecution")));
    return delay;
}

void sleepUntil(double wakeMs)
{
    for (double left = wakeMs - nowMs(); left > 0; left = wakeMs - nowMs()) {
        if (delayExecution() == nullptr) {
            slotSleep(static_cast<DWORD>(std::ceil(left)));
            continue;
        }
        LARGE_INTEGER relative;  // negative: relative to now
        relative.QuadPart = -std::max(1LL, static_cast<long long>(left * 1e4));
        delayExecution()(FALSE, &relative);
    }
}

// The first tick at or after `dueMs`.
double tickAtOrAfter(double dueMs, double tickMs)
{
    return std::ceil(dueMs / tickMs) * tickMs;
}

void WINAPI modelledSleep(DWORD ms)
{
    if (ms == 0 || ms == INFINITE) {
        slotSleep(ms);
        return;
    }
    const double called = nowMs();
    const bool fine = finePeriodsHeld.load() > 0;
    const double wake = tickAtOrAfter(called + ms, fine ? fineTickMs : defaultTickMs);
    sleepUntil(wake);
    ++sleeps;
    if (fine) {
        ++fineSleeps;
    }
    lateMicroseconds += static_cast<unsigned long>(1000.0 * (nowMs() - wake));
}

MMRESULT WINAPI countedBeginPeriod(UINT period)
{
    const MMRESULT result = slotBeginPeriod(period);
    ++periodsAsked;
    if (result == TIMERR_NOERROR && period <= finePeriodMs) {
        ++finePeriodsHeld;
    }
    return result;
}

MMRESULT WINAPI countedEndPeriod(UINT period)
{
    const MMRESULT result = slotEndPeriod(period);
    if (result == TIMERR_NOERROR && period <= finePeriodMs) {
        --finePeriodsHeld;
    }
    return result;
}

}  // namespace

WindowsTimer::WindowsTimer()
    : redirects_("zelvo.dll",
                 {{"Sleep", reinterpret_cast<void**>(&slotSleep), reinterpret_cast<void*>(&modelledSleep)},
                  {"timeBeginPeriod", reinterpret_cast<void**>(&slotBeginPeriod),
                   reinterpret_cast<void*>(&countedBeginPeriod)},
                  {"timeEndPeriod", reinterpret_cast<void**>(&slotEndPeriod),
                   reinterpret_cast<void*>(&countedEndPeriod)}})
{
}

TimerCounts windowsTimerCounts()
{
    TimerCounts counts;
    counts.periodsAsked = periodsAsked.load();
    counts.finePeriodsHeld = finePeriodsHeld.load();
    counts.sleeps = sleeps.load();
    counts.fineSleeps = fineSleeps.load();
    counts.lateMs = lateMicroseconds.load() / 1000.0;
    return counts;
}

const char* timerModeName(TimerMode mode)
{
    return mode == TimerMode::Windows ? "windows timer" : "native";
}

void runInTimerMode(TimerMode mode, const std::function<void()>& work)
{
    std::optional<WindowsTimer> timer;
    if (mode == TimerMode::Windows) {
        timer.emplace();
    }
    work();
}

}  // namespace bench
