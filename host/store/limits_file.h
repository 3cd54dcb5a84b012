// limits.json in the service's data folder: read once at start (without it,
// the defaults hold), rewritten by PUT /v1/limits so that a change outlives
// a restart.
#pragma once
#include <string>

#include "rules/risk_limits.h"

namespace zelvo_host {

constexpr wchar_t limitsFileName[] = L"limits.json";

struct LimitsFile {
    bool found = false;   // false: no file, the defaults hold
    Limits limits;
    std::string problem;  // set when the file is there but not valid: it names the member or the place
};

[[nodiscard]] LimitsFile readLimitsFile(const std::wstring& path);

// Replaces the file with `limits` in one step (a new file renamed over it),
// so that a stop in between leaves the old file or the new one, never half.
[[nodiscard]] bool writeLimitsFile(const std::wstring& path, const Limits& limits);

}  // namespace zelvo_host
