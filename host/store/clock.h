// The service's clocks: the wall clock in milliseconds since 1970 (UTC), for
// what must survive a restart (an order's time, the switch's deadline), and
// its local time and date as the journal and the answers show them; and the
// steady clock, which a change of the wall clock does not move, for what
// counts time in the process (the switch's countdown, the rate window, the
// settle time). "Today" is the local date.
#pragma once
#include <cstdint>
#include <string>

namespace zelvo_host {

struct Instant {
    std::int64_t epochMs = 0;
    std::string local;  // "2025-06-30T09:31:05.120"
    [[nodiscard]] std::string date() const { return local.substr(0, 10); }  // "2025-06-30"
};

[[nodiscard]] Instant now();
[[nodiscard]] Instant instantAt(std::int64_t epochMs);
// Milliseconds on the steady clock (since the system started).
[[nodiscard]] std::int64_t steadyMs();

}  // namespace zelvo_host
