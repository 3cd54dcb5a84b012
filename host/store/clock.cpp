#include "store/clock.h"

#include <windows.h>

#include <cstdio>

namespace zelvo_host {

namespace {

// FILETIME counts 100 ns from 1601; the Unix epoch is this many of them later.
constexpr std::int64_t epochInFileTime = 116444736000000000LL;
constexpr std::int64_t fileTimePerMs = 10000;

[[nodiscard]] std::string localText(const SYSTEMTIME& time)
{
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u.%03u", time.wYear, time.wMonth, time.wDay,
                  time.wHour, time.wMinute, time.wSecond, time.wMilliseconds);
    return text;
}

}  // namespace

Instant now()
{
    FILETIME file;
    GetSystemTimeAsFileTime(&file);
    const std::int64_t ticks = (static_cast<std::int64_t>(file.dwHighDateTime) << 32) | file.dwLowDateTime;
    return instantAt((ticks - epochInFileTime) / fileTimePerMs);
}

std::int64_t steadyMs()
{
    return static_cast<std::int64_t>(GetTickCount64());
}

Instant instantAt(std::int64_t epochMs)
{
    const std::int64_t ticks = epochMs * fileTimePerMs + epochInFileTime;
    FILETIME file;
    file.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFF);
    file.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    SYSTEMTIME utc;
    SYSTEMTIME local;
    if (!FileTimeToSystemTime(&file, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) {
        GetLocalTime(&local);
    }
    return {epochMs, localText(local)};
}

}  // namespace zelvo_host
