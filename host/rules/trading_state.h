// The service's trading state: the order records, the order numbers seen in
// today's answers and lists, today's cancels per code, the limits, the halt
// and the dead man's switch. Every change is one journal entry (made by
// journal_entries.h, written by the Ledger) and `apply` is the only code that
// changes the state, whether for a new entry or for a line of the journal
// read back at start. No Windows header.
#pragma once
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "rules/journal_entries.h"
#include "rules/json_types.h"
#include "rules/order_records.h"
#include "rules/risk_limits.h"

namespace zelvo_host {

// Values kept by date for the last `keep` dates that had one: "today" is
// among them even when the wall clock was stepped back across midnight.
template <typename Value, std::size_t keep = 3>
class DatedMaps {
public:
    Value& on(const std::string& date)
    {
        auto found = byDate_.find(date);
        if (found == byDate_.end()) {
            if (byDate_.size() == keep) {
                byDate_.erase(order_.front());
                order_.pop_front();
            }
            order_.push_back(date);
            found = byDate_.emplace(date, Value()).first;
        }
        return found->second;
    }
    [[nodiscard]] const Value* of(const std::string& date) const
    {
        const auto found = byDate_.find(date);
        return found == byDate_.end() ? nullptr : &found->second;
    }
    // The dates kept, first made first.
    [[nodiscard]] const std::deque<std::string>& dates() const { return order_; }

private:
    std::map<std::string, Value> byDate_;
    std::deque<std::string> order_;  // first made first
};

struct HaltState {
    bool halted = false;
    std::string reason;
    std::string since;  // local time
    std::string by;     // "request", "switch" or "journal" (a damaged journal at start)
};

// The wall clock (ms since 1970) and the process's steady clock (ms) read at
// one moment. The steady clock runs on whatever is done to the wall clock:
// the switch's countdown, the rate window and the settle time run on it,
// while the journal keeps wall times, which a restart turns into steady ones
// by the difference of the two clocks at its start.
struct ClockPair {
    std::int64_t wallMs = 0;
    std::int64_t steadyMs = 0;

    [[nodiscard]] std::int64_t steadyOf(std::int64_t epochMs) const { return steadyMs + (epochMs - wallMs); }
    [[nodiscard]] std::int64_t wallOf(std::int64_t steady) const { return wallMs + (steady - steadyMs); }
};

struct SwitchState {
    bool armed = false;
    int seconds = 0;
    std::int64_t deadlineMs = 0;        // ms since 1970, as journalled
    std::int64_t deadlineSteadyMs = 0;  // on the steady clock: when it fires
};

// A dead man's switch that fired and whose cancels are not all done: its
// cancel-all is tried again until a read of the cancel list shows no order
// the switch has not cancelled, or until the halt is lifted (the operator
// has taken over, and the orders after it are not the switch's to cancel).
struct SwitchFiring {
    bool outstanding = false;
    int seconds = 0;            // the switch's
    std::string since;          // local time it fired
    int attempts = 0;           // cancel-alls tried since
    std::string lastMessage;    // what the last one came to
    std::int64_t lastAttemptSteadyMs = 0;
    std::set<int> cancelled;    // order numbers whose cancel the client accepted since it fired
};

struct OrderNumberSeen {
    std::int64_t seq = 0;  // the journal entry that first showed it today
    std::string code;
};

class TradingState {
public:
    // Applies one journal line (an entry with its seq, time and epoch_ms)
    // written or read at `steadyMs` on the process's steady clock. A line of
    // an unknown kind changes nothing but the next seq.
    void apply(const Json& line, std::int64_t steadyMs);
    // The same for a line whose steady time is its own epoch_ms (both clocks
    // taken as one, as the rules' tests do).
    void apply(const Json& line);

    [[nodiscard]] std::int64_t nextSeq() const { return nextSeq_; }
    [[nodiscard]] const OrderRecord* record(const std::string& orderId) const;
    // The records of one local date ("2025-06-30"), oldest first.
    [[nodiscard]] std::vector<const OrderRecord*> recordsOf(const std::string& date) const;
    [[nodiscard]] int unknownCount() const;
    // The orders sent on `date`, wherever their records lie in the journal
    // (a wall clock stepped back across midnight puts a day's records after
    // the next day's), and those sent within the window before `steadyNowMs`.
    [[nodiscard]] OrderCounts orderCounts(const std::string& date, std::int64_t steadyNowMs) const;
    [[nodiscard]] int cancelsOf(const std::string& date, const std::string& code) const;
    [[nodiscard]] std::map<std::string, int> cancelCounts(const std::string& date) const;
    [[nodiscard]] std::optional<OrderNumberSeen> seen(const std::string& date, int number) const;
    [[nodiscard]] const Limits& limits() const { return limits_; }
    [[nodiscard]] const HaltState& halt() const { return halt_; }
    [[nodiscard]] const SwitchState& deadMansSwitch() const { return switch_; }
    [[nodiscard]] const SwitchFiring& switchFiring() const { return firing_; }
    // The journal's line numbers whose damage a start or a halt has reported
    // already (a line cut off at the end, then mended by the lines after it;
    // one in the middle that halted a start).
    [[nodiscard]] const std::set<std::int64_t>& reportedDamage() const { return reportedDamage_; }

    // The whole state as bytes (rules/state_snapshot.cpp), its steady times
    // as wall times by `clocks` (the two clocks now); and the state such
    // bytes hold, their wall times turned into steady ones by the clocks of
    // the reading process. None when the bytes are not a snapshot of this
    // format.
    [[nodiscard]] std::string snapshot(const ClockPair& clocks) const;
    [[nodiscard]] static std::optional<TradingState> fromSnapshot(std::string_view bytes, const ClockPair& clocks);

private:
    void applyOrderRequest(const Json& line, std::int64_t seq, std::int64_t epochMs, std::int64_t steadyMs,
                           const std::string& time);
    void applyOrderAnswer(const Json& line, std::int64_t seq);
    void applyReconciled(const Json& line, const std::string& time);
    void applySwitch(const Json& line, std::int64_t steadyMs);
    void applySwitchFired(const Json& line, const std::string& time);
    void applyCancel(const Json& line, const std::string& date);
    void applyCancelAll(const Json& line, std::int64_t steadyMs);
    void applyHalt(const Json& line, const std::string& time);
    void see(const std::string& date, std::int64_t seq, int number, const std::string& code);
    void countCancel(const std::string& date, const std::string& code);
    OrderRecord* find(const std::string& orderId);

    std::int64_t nextSeq_ = 1;
    std::vector<OrderRecord> records_;
    std::map<std::string, size_t> recordIndex_;
    std::map<std::string, int> ordersOn_;  // orders sent, by date
    std::map<std::int64_t, std::string> awaitingAnswer_;  // request seq -> order id
    // The numbers seen and the cancels counted, of the last few dates that had any.
    DatedMaps<std::map<int, OrderNumberSeen>> seen_;
    DatedMaps<std::map<std::string, int>> cancels_;
    Limits limits_;
    HaltState halt_;
    SwitchState switch_;
    SwitchFiring firing_;
    std::set<std::int64_t> reportedDamage_;
};

// The id the service gives an order sent without one: unique in the journal,
// and never a caller's, whose ids may not begin with this.
inline constexpr char serviceOrderIdPrefix[] = "auto-";
[[nodiscard]] std::string serviceOrderId(const std::string& date, std::int64_t seq);

// How a line of the journal read back at start was taken: an empty line is
// passed over; a line that is no JSON object (one cut off by a power loss),
// nests deeper than maxJsonDepth or has members of types no service writes,
// is damaged. `clocks`: the two clocks at the start, which turn the line's
// wall time into a steady one (by default both are one).
enum class LineTaken { Empty, Applied, Damaged };
[[nodiscard]] LineTaken applyJournalLine(TradingState& state, std::string_view text, const ClockPair& clocks = {});

// Whether the switch is due to fire, or a fired switch's cancel-all due to
// be tried again, at `steadyNowMs`. A failed try is tried again after 2 s,
// then after twice as long each time up to 30 s: a client that does not
// answer holds the service for seconds at each try, and each is journalled.
[[nodiscard]] bool switchDue(const TradingState& state, std::int64_t steadyNowMs);
[[nodiscard]] bool switchRetryDue(const TradingState& state, std::int64_t steadyNowMs);

}  // namespace zelvo_host
