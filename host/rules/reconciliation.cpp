#include "rules/reconciliation.h"

#include <algorithm>
#include <cmath>

#include "rules/prices.h"

namespace zelvo_host {

namespace {

// Lists show prices with up to three decimals; two prices within a millionth
// (relative above 1) are one price.
[[nodiscard]] bool samePrice(double listed, double ordered)
{
    return std::fabs(listed - ordered) <= 1e-6 * std::max(1.0, std::fabs(ordered));
}

[[nodiscard]] bool matches(const ListedOrder& row, const OrderRecord& record)
{
    const Side side = sideOfKind(record.kind);
    // The price as the client was sent it: a record of an older service may
    // hold more decimals than the code's tick.
    return row.code == record.code && row.price && samePrice(*row.price, priceAsSent(record.code, record.price)) &&
           row.quantity &&
           std::fabs(*row.quantity - record.quantity) < 0.5 &&
           (side == Side::Any || row.side == Side::Any || row.side == side);
}

// The rows that could be the record's order.
[[nodiscard]] std::vector<const ListedOrder*> candidatesOf(const OrderRecord& record, const OrderList& list,
                                                           const ReconcileInput& input)
{
    std::vector<const ListedOrder*> found;
    for (const ListedOrder& row : list.orders) {
        const bool claimed = std::find(input.claimed.begin(), input.claimed.end(), row.number) != input.claimed.end();
        const std::optional<std::int64_t> seen = input.firstSeen ? input.firstSeen(row.number) : std::nullopt;
        if (matches(row, record) && !claimed && !(seen && *seen < record.seq)) {
            found.push_back(&row);
        }
    }
    return found;
}

[[nodiscard]] Json candidateRows(const std::vector<const ListedOrder*>& rows, const Table& table)
{
    Json listed = Json::array();
    for (const ListedOrder* row : rows) {
        Json cells = Json::object();
        for (const auto& [column, cell] : cellsOf(table, row->row)) {
            cells[column] = cell;
        }
        listed.push_back({{"number", row->number}, {"row", cells}});
    }
    return listed;
}

// The other unknown records of today that could be the order numbered `number`.
[[nodiscard]] std::vector<std::string> rivalsFor(int number, const OrderRecord& record, const OrderList& list,
                                                 const ReconcileInput& input)
{
    std::vector<std::string> rivals;
    for (const OrderRecord* other : input.unknownToday) {
        if (other->orderId == record.orderId) {
            continue;
        }
        const auto candidates = candidatesOf(*other, list, input);
        if (std::any_of(candidates.begin(), candidates.end(), [&](const ListedOrder* row) { return row->number == number; })) {
            rivals.push_back(other->orderId);
        }
    }
    return rivals;
}

[[nodiscard]] Reconciled decide(const OrderRecord& record, const OrderList& list, const ReconcileInput& input)
{
    Reconciled result;
    result.orderId = record.orderId;
    if (record.date() != input.today) {
        result.note = "sent on " + record.date() + ": today's orders cannot show it";
        return result;
    }
    if (!list.missing.empty()) {
        result.note = "today's orders lack the " + list.missing + " column the service matches orders on";
        return result;
    }
    const std::vector<const ListedOrder*> candidates = candidatesOf(record, list, input);
    if (candidates.empty()) {
        if (input.steadyNowMs - record.sentSteadyMs >= input.settleMs) {
            result.outcome = Outcome::NotFound;
            result.note = "no order of today's matched it " + std::to_string(input.settleMs / 1000) +
                          " s or more after it was sent";
        } else {
            result.note = "no order of today's matches it yet; it counts as not found once " +
                          std::to_string(input.settleMs / 1000) + " s have passed since it was sent";
        }
        return result;
    }
    result.candidates = candidateRows(candidates, *input.table);
    if (candidates.size() > 1) {
        result.ambiguous = true;
        result.note = std::to_string(candidates.size()) + " orders of today's could be this one; the service does not guess";
        return result;
    }
    const int number = candidates.front()->number;
    const std::vector<std::string> rivals = rivalsFor(number, record, list, input);
    if (!rivals.empty()) {
        result.ambiguous = true;
        result.note = "order " + std::to_string(number) + " could also be that of order_id " + rivals.front() +
                      "; the service does not guess";
        return result;
    }
    result.outcome = Outcome::Placed;
    result.contract = number;
    result.candidates = Json::array();
    result.note = "found among today's orders as number " + std::to_string(number);
    return result;
}

}  // namespace

Side sideOfKind(const std::string& kind)
{
    if (kind == "buy" || kind == "margin-buy" || kind == "buy-to-return") {
        return Side::Buy;
    }
    if (kind == "sell" || kind == "short-sell" || kind == "sell-to-repay") {
        return Side::Sell;
    }
    return Side::Any;
}

std::vector<Reconciled> reconcile(const std::vector<const OrderRecord*>& chosen, const ReconcileInput& input)
{
    const OrderList list = readOrderList(*input.table);
    std::vector<Reconciled> results;
    for (const OrderRecord* record : chosen) {
        results.push_back(decide(*record, list, input));
    }
    return results;
}

}  // namespace zelvo_host
