// The service's trading state: the order records, the order numbers seen in
// today's answers and lists, today's cancels per code, the limits, the halt
// and the dead man's switch. Every change is one journal event (made by the
// functions below, written by the Ledger) and `apply` is the only code that
// changes the state, whether for a new event or for a line of the journal
// read back at start. No Windows header.
#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

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

// Who made a cancel: the caller, or the service for a halt or the switch.
enum class CancelBy { Caller, Halt, Switch };
[[nodiscard]] const char* cancelByName(CancelBy by);

struct ListedNumber {
    int number = 0;
    std::string code;
};

// What reconciliation made of one record.
struct Reconciled {
    std::string orderId;
    Outcome outcome = Outcome::Unknown;
    int contract = -1;
    std::string note;
    Json candidates = Json::array();
    bool ambiguous = false;
};

// The journal events; the Ledger adds "seq", "time" and "epoch_ms".
namespace events {
// An order request; `sends` when it goes to zelvo.dll next (else it is
// answered by the service: a repeat or a refusal).
[[nodiscard]] Json orderRequest(const Json& request, const std::string& orderId, bool sends);
// A cancel request; `code` is the order's code when known.
[[nodiscard]] Json cancelRequest(int number, const std::string& code, bool sends);
[[nodiscard]] Json request(const std::string& route, const Json& request);
// The answer to the request of the same "seq".
[[nodiscard]] Json answer(int status, const Json& answer);
// One cancel made by a cancel-all (the caller's, a halt's or the switch's).
[[nodiscard]] Json cancel(const ListedNumber& order, CancelBy by, bool ok, const std::string& message);
// A halt's or the switch's cancel-all, once done.
[[nodiscard]] Json cancelAllDone(CancelBy by, bool ok, const std::string& message);
// Order numbers seen for the first time today, in an answer or a list.
[[nodiscard]] Json seen(const std::vector<ListedNumber>& orders);
[[nodiscard]] Json reconciled(const Reconciled& result);
[[nodiscard]] Json limits(const Limits& limits, const std::string& source);
[[nodiscard]] Json halt(const std::string& reason, const std::string& by);
[[nodiscard]] Json resume();
// The switch armed to fire at `deadlineMs`, or disarmed with 0 seconds.
[[nodiscard]] Json switchArmed(int seconds, std::int64_t deadlineMs);
[[nodiscard]] Json switchFired(int seconds);
[[nodiscard]] Json start(const std::string& version, int damagedLines);
}  // namespace events

struct OrderNumberSeen {
    std::int64_t seq = 0;  // the journal event that first showed it today
    std::string code;
};

class TradingState {
public:
    // Applies one journal line (an event with its seq, time and epoch_ms).
    // A line of an unknown event changes nothing.
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

}  // namespace zelvo_host
