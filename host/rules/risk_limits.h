// The pre-trade limits: each limit and its default, one reader for
// the limits file and for the limits route (it names the member it refuses),
// and the check of an order or a cancel against the limits and the counts
// so far. No Windows header.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "rules/json_types.h"

namespace zelvo_host {

// The defaults stop a runaway loop and never get in the way of a strategy
// that places an order every few seconds; README.md ("Running unattended")
// gives them.
struct Limits {
    int maxOrderQuantity = 1000000;      // shares in one order
    double maxOrderValue = 10000000.0;   // price x quantity of one order
    int maxOrdersPerWindow = 20;         // orders sent in any window...
    int windowSeconds = 10;              // ...of this many seconds
    int maxOrdersPerDay = 500;
    int maxCancelsPerCodePerDay = 200;
    std::optional<std::vector<std::string>> allowedCodes;  // none: every code
    // Not a limit: how long after an order reconciliation waits for it to
    // show among today's orders before it counts as not found.
    int settleSeconds = 10;
};

// Reads the members of `given` into `limits`; the members left out keep
// their values. An error text naming the member when one is unknown or
// wrong; `limits` is then unchanged.
[[nodiscard]] std::string readLimits(const Json& given, Limits& limits);

[[nodiscard]] Json limitsJson(const Limits& limits);

// The members' names: every limit, and settle_seconds.
[[nodiscard]] std::vector<std::string_view> limitNames();

// A code as orders take it: 1-16 letters, digits or dots.
[[nodiscard]] bool isSecurityCode(const std::string& code);

struct RiskRefusal {
    std::string limit;    // the member's name, e.g. "max_orders_per_window"
    Json value;           // the limit's value
    Json current;         // what the order or the count would make it
    std::string message;  // in words
};

struct OrderCounts {
    int today = 0;     // orders sent to the client today
    int inWindow = 0;  // orders sent within the last windowSeconds
};

[[nodiscard]] std::optional<RiskRefusal> checkOrder(const Limits& limits, const std::string& code, double price,
                                                    int quantity, const OrderCounts& counts);
[[nodiscard]] std::optional<RiskRefusal> checkCancel(const Limits& limits, const std::string& code, int cancelsToday);

}  // namespace zelvo_host
