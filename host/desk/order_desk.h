// The money path: every order and cancel the service sends to zelvo.dll,
// and what keeps them safe, in one place.
//
// An order is answered by the service itself, and nothing is sent, when its
// order_id was used before (the first answer again, or a conflict), while
// new orders are halted, or when a risk limit refuses it. Otherwise today's
// unknown outcomes are reconciled first and the order is sent. A cancel is
// held to the limit on cancels per code. Every request that may change the
// account is written to the journal before zelvo.dll is called (nothing is
// sent when it cannot be) and its answer after, so that a stop in between
// leaves an order whose outcome is unknown, never one forgotten. The halt,
// the cancel-all that may come with it and the dead man's switch, which
// halts and cancels by itself, take the same path. Runs on the service
// thread, never while another call into zelvo.dll runs.
#pragma once
#include <map>
#include <optional>
#include <string>

#include "rules/json_types.h"
#include "rules/order_lists.h"
#include "rules/order_records.h"
#include "rules/risk_limits.h"
#include "store/ledger.h"
#include "store/zelvo_library.h"

namespace zelvo_host {

// An answer of the money path: its status and body, as the caller gets them
// and as the journal holds them (without the warning that the journal could
// not be written).
struct DeskAnswer {
    int status = 200;
    Json body;
};

[[nodiscard]] DeskAnswer placeOrder(Ledger& ledger, ZelvoDll& dll, const OrderRequest& order);
[[nodiscard]] DeskAnswer cancelOrder(Ledger& ledger, ZelvoDll& dll, int number);
// The caller's cancel of the cancel list's orders, of one side when `side`
// says so; each one held to the limit on cancels per code.
[[nodiscard]] DeskAnswer cancelAll(Ledger& ledger, ZelvoDll& dll, Side side);

struct CancelAllOutcome {
    bool listRead = false;         // the cancel list was read and could be used
    bool ok = false;               // the list was read and every cancel accepted
    std::string message;           // how many were cancelled, or why the list could not be used
    Json results = Json::array();  // {"number", "ok", "message"} per order, in list order
    int cancelsSent = 0;           // cancels sent to the client
};

struct HaltOutcome {
    bool written = true;  // false: the halt could not be journalled; it holds until the service stops
    std::optional<CancelAllOutcome> cancelled;  // the cancel-all asked for with it
};

// Halts new orders for `reason` unless they are halted already, then, when
// `cancelAll`, cancels every order of the cancel list (no limit holds the
// halt's cancels back) and journals that it is done.
[[nodiscard]] HaltOutcome haltOrders(Ledger& ledger, ZelvoDll& dll, const std::string& reason, bool cancelAll);
// Lifts the halt; false when that could not be journalled: orders stay halted.
[[nodiscard]] bool resumeOrders(Ledger& ledger);

// Arms the dead man's switch to fire `seconds` from now, or disarms it with
// 0; false when that could not be journalled: the switch is unchanged.
[[nodiscard]] bool armSwitch(Ledger& ledger, int seconds);
// Called by the service's timer. Once the switch's deadline has passed (on
// the steady clock), it fires: it halts new orders and cancels every order
// of the cancel list (logging in first when the service is not attached),
// journalling each step. Until a read of the cancel list shows no order left
// to cancel, or the halt is lifted, its cancels are outstanding: they are
// tried again (rules/trading_state.h: switchRetryDue), each try journalled.
void runSwitchIfDue(Ledger& ledger, ZelvoDll& dll);

enum class LimitsChange {
    Written,         // the limits file and the journal hold the change
    Unjournalled,    // the limits file holds it, and it holds; the journal does not show it
    FileUnwritable,  // the limits file cannot be written: the limits are unchanged
};

// Changes the risk limits: the limits file first (the file is what a restart
// reads), then the journal.
[[nodiscard]] LimitsChange changeLimits(Ledger& ledger, const std::wstring& limitsFile, const Limits& limits);

// Today's counts the limits hold orders and cancels to.
struct LimitCounts {
    std::string date;  // the local date, "today"
    OrderCounts orders;
    std::map<std::string, int> cancels;  // by code
};

[[nodiscard]] LimitCounts limitCounts(const TradingState& state);

}  // namespace zelvo_host
