// The service's trading state: the order records, the order numbers seen in
// today's answers and lists, today's cancels per code, the limits, the halt
// and the dead man's switch. Every change is one journal entry (made by
// journal_entries.h, written by the Ledger) and `apply` is the only code that
// changes the state, whether for a new entry or for a line of the journal
// read back at start. No Windows header.
#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "rules/journal_entries.h"
#include "rules/json_types.h"
#include "rules/order_records.h"
#include "rules/risk_limits.h"

namespace zelvo_host {

struct HaltState {
    bool halted = false;
    std::string reason;
    std::string since;  // local time
    std::string by;     // "request" or "switch"
};

struct SwitchState {
    bool armed = false;
    int seconds = 0;
    std::int64_t deadlineMs = 0;  // ms since 1970
};

struct OrderNumberSeen {
    std::int64_t seq = 0;  // the journal entry that first showed it today
    std::string code;
};

class TradingState {
public:
    // Applies one journal line (an entry with its seq, time and epoch_ms).
    // A line of an unknown kind changes nothing but the next seq.
    void apply(const Json& line);

    [[nodiscard]] std::int64_t nextSeq() const { return nextSeq_; }
    [[nodiscard]] const OrderRecord* record(const std::string& orderId) const;
    // The records of one local date ("2025-06-30"), oldest first.
    [[nodiscard]] std::vector<const OrderRecord*> recordsOf(const std::string& date) const;
    [[nodiscard]] int unknownCount() const;
    [[nodiscard]] OrderCounts orderCounts(const std::string& date, std::int64_t nowMs) const;
    [[nodiscard]] int cancelsOf(const std::string& date, const std::string& code) const;
    [[nodiscard]] std::map<std::string, int> cancelCounts(const std::string& date) const;
    [[nodiscard]] std::optional<OrderNumberSeen> seen(const std::string& date, int number) const;
    [[nodiscard]] const Limits& limits() const { return limits_; }
    [[nodiscard]] const HaltState& halt() const { return halt_; }
    [[nodiscard]] const SwitchState& deadMansSwitch() const { return switch_; }

private:
    void applyOrderRequest(const Json& line, std::int64_t seq, std::int64_t epochMs, const std::string& time);
    void applyOrderAnswer(const Json& line, std::int64_t seq);
    void applyReconciled(const Json& line, const std::string& time);
    void see(const std::string& date, std::int64_t seq, int number, const std::string& code);
    void countCancel(const std::string& date, const std::string& code);
    OrderRecord* find(const std::string& orderId);

    std::int64_t nextSeq_ = 1;
    std::vector<OrderRecord> records_;
    std::map<std::string, size_t> recordIndex_;
    std::map<std::int64_t, std::string> awaitingAnswer_;  // request seq -> order id
    std::string seenDate_;
    std::map<int, OrderNumberSeen> seen_;
    std::string cancelDate_;
    std::map<std::string, int> cancels_;
    Limits limits_;
    HaltState halt_;
    SwitchState switch_;
};

// The id the service gives an order sent without one: unique in the journal.
[[nodiscard]] std::string serviceOrderId(const std::string& date, std::int64_t seq);

// How a line of the journal read back at start was taken: an empty line is
// passed over; a line that is no JSON object (one cut off by a power loss),
// or whose members are of types no service writes, is damaged.
enum class LineTaken { Empty, Applied, Damaged };
[[nodiscard]] LineTaken applyJournalLine(TradingState& state, std::string_view text);

}  // namespace zelvo_host
