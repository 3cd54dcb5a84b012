// The journal's entries: one JSON object per line, its kind named in the
// member "event" (the name every journal so far was written with). The kinds
// are named here and nowhere else; `entries::` makes each entry, and the
// Ledger adds "seq", "time" and "epoch_ms". What the event stream sends are
// events; what the journal holds are entries. No Windows header.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "rules/json_types.h"
#include "rules/order_records.h"
#include "rules/risk_limits.h"
#include "zelvo_kinds.h"

namespace zelvo_host {

enum class EntryKind {
    Request,      // a request that changes the account: an order, a cancel, a cancel-all
    Answer,       // the answer to the request of the same "seq"
    Cancel,       // one cancel of a cancel-all (the caller's, a halt's or the switch's)
    CancelAll,    // a halt's cancel-all once done; each try of a fired switch's
    Seen,         // order numbers seen for the first time today, in an answer or a list
    Reconciled,   // what reconciliation made of a record whose outcome was unknown
    Limits,       // the limits in force: at start, and after each change
    Halt,
    Resume,
    Switch,       // the dead man's switch armed, or disarmed with 0 seconds
    SwitchFired,
    Start,        // a start of the service
};

inline constexpr zelvo::KindName<EntryKind> entryKindNames[] = {
    {"request", EntryKind::Request},   {"answer", EntryKind::Answer},
    {"cancel", EntryKind::Cancel},     {"cancel_all", EntryKind::CancelAll},
    {"seen", EntryKind::Seen},         {"reconciled", EntryKind::Reconciled},
    {"limits", EntryKind::Limits},     {"halt", EntryKind::Halt},
    {"resume", EntryKind::Resume},     {"switch", EntryKind::Switch},
    {"switch_fired", EntryKind::SwitchFired}, {"start", EntryKind::Start},
};

[[nodiscard]] std::string_view entryKindName(EntryKind kind);
// The kind of a journal line; none for a line of no kind this service knows
// (a damaged line, or one a later service wrote).
[[nodiscard]] std::optional<EntryKind> entryKindOf(const Json& line);

// The routes whose requests are journalled, as their request entries name them.
inline constexpr char ordersRoute[] = "orders";
inline constexpr char cancelRoute[] = "cancel";
inline constexpr char cancelAllRoute[] = "cancel-all";

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

namespace entries {
// An order request; `sends` when it goes to zelvo.dll next (else it is
// answered by the service: a repeat or a refusal).
[[nodiscard]] Json orderRequest(const Json& request, const std::string& orderId, bool sends);
// A cancel request; `code` is the order's code when known.
[[nodiscard]] Json cancelRequest(int number, const std::string& code, bool sends);
[[nodiscard]] Json request(const std::string& route, const Json& request);
[[nodiscard]] Json answer(int status, const Json& answer);
[[nodiscard]] Json cancel(const ListedNumber& order, CancelBy by, bool ok, const std::string& message);
[[nodiscard]] Json cancelAllDone(CancelBy by, bool ok, const std::string& message);
// One try of a fired switch's cancel-all: `ok` when the list was read and
// every cancel accepted, `done` when a read of the list after them showed no
// order the switch had not cancelled (no more tries then).
[[nodiscard]] Json switchCancels(int attempt, bool ok, bool done, const std::string& message);
[[nodiscard]] Json seen(const std::vector<ListedNumber>& orders);
[[nodiscard]] Json reconciled(const Reconciled& result);
[[nodiscard]] Json limits(const Limits& limits, const std::string& source);
[[nodiscard]] Json halt(const std::string& reason, const std::string& by);
// The halt of a start that found the journal's line `line` damaged, with
// lines after it: that line may have held an order sent or a halt.
[[nodiscard]] Json journalDamaged(std::int64_t line);
[[nodiscard]] Json resume();
// The switch armed to fire at `deadlineMs`, or disarmed with 0 seconds.
[[nodiscard]] Json switchArmed(int seconds, std::int64_t deadlineMs);
[[nodiscard]] Json switchFired(int seconds);
// A start; `tornLine`: the journal's last line, cut off (by a power loss)
// and left out, which the lines written from now on follow.
[[nodiscard]] Json start(const std::string& version, int damagedLines, std::optional<std::int64_t> tornLine);
}  // namespace entries

}  // namespace zelvo_host
