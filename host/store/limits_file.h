// The limits file in the service's data folder, limits-PORT.json: read once
// at start (without it, the defaults hold), rewritten by PUT /v1/limits so
// that a change outlives a restart. One per port, as the token file and the
// journal are, so that two services on one folder never overwrite each
// other's limits. limits.json, the one file of every port before, is read
// by a service that finds no file of its own port, which then writes its own.
#pragma once
#include <string>

#include "rules/risk_limits.h"

namespace zelvo_host {

[[nodiscard]] std::wstring limitsFileName(unsigned port);
constexpr wchar_t sharedLimitsFileName[] = L"limits.json";

struct LimitsFile {
    bool found = false;   // false: no file, the defaults hold
    Limits limits;
    std::string problem;  // set when the file is there but not valid: it names the file, and the member or the place
};

[[nodiscard]] LimitsFile readLimitsFile(const std::wstring& path);

// Replaces the file with `limits` in one step (a new file renamed over it),
// so that a stop in between leaves the old file or the new one, never half.
[[nodiscard]] bool writeLimitsFile(const std::wstring& path, const Limits& limits);

}  // namespace zelvo_host
