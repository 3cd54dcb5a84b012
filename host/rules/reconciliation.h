// Reconciliation: what today's orders list says of the orders whose outcome
// is unknown. A record is placed when exactly one row matches it (code,
// price, quantity and, where the list shows it, the side), no other record
// holds that row's number, the number was not seen before the order was
// sent, and no other unknown record could be that row; not found when no row
// matches once the settle time after the order has passed; and otherwise
// still unknown, with the rows that could be it. It never guesses. No
// Windows header.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "rules/order_lists.h"
#include "rules/order_records.h"
#include "rules/trading_state.h"

namespace zelvo_host {

struct ReconcileInput {
    const Table* table = nullptr;  // today's orders as read
    std::string today;             // the local date
    std::int64_t steadyNowMs = 0;  // now, on the steady clock the records' sentSteadyMs are on
    std::int64_t settleMs = 10000;
    // Every record of today whose outcome is unknown: a row one of them could
    // be is never given to another.
    std::vector<const OrderRecord*> unknownToday;
    // The numbers today's records hold (placed orders' contracts).
    std::vector<int> claimed;
    // When a number was first seen today (its journal sequence number).
    std::function<std::optional<std::int64_t>(int number)> firstSeen;
};

// The outcome of each record of `chosen` (records of earlier days stay
// unknown: today's orders cannot show them).
[[nodiscard]] std::vector<Reconciled> reconcile(const std::vector<const OrderRecord*>& chosen, const ReconcileInput& input);

// Whether an order of this kind is a buy or a sell where a list tells them
// apart (Any for a kind that is neither).
[[nodiscard]] Side sideOfKind(const std::string& kind);

}  // namespace zelvo_host
