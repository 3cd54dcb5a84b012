// What the service reads of the client through zelvo.dll, with the ledger
// beside it: a query page (and the order numbers a list of orders shows,
// remembered), the client's identity, the login with the reconciliation of
// today's unknown outcomes that follows it, the logout, and the code of an
// order number. What sends an order or a cancel is the order desk's
// (order_desk.h). Runs on the service thread, never while another call into
// zelvo.dll runs.
#pragma once
#include <string>
#include <vector>

#include "desk/event_feed.h"
#include "rules/tables.h"
#include "store/ledger.h"
#include "store/zelvo_library.h"
#include "zelvo_kinds.h"

namespace zelvo_host {

struct ListRead {
    bool ok = false;
    Table table;
    std::string message;      // the client's status text, or why there is no list
    std::string clientState;  // what the answer shows of the client (clientStateOf)
};

// Runs a query of a list (today's orders or trades, the cancel list).
[[nodiscard]] ListRead readList(ZelvoDll& dll, zelvo::QueryKind kind);

// Records the order numbers `table` shows that were not seen today.
void rememberListed(Ledger& ledger, const Table& table);

struct QueryRead {
    QueryAnswer answer;
    Table table;  // the table text, or the funds line, split
};

// Any query of the client: its answer split, and the order numbers of a list
// of orders (today's orders, the cancel list) remembered.
[[nodiscard]] QueryRead queryPage(Ledger& ledger, ZelvoDll& dll, zelvo::QueryKind kind);

struct ClientIdentity {
    std::string title;  // empty when not attached
    std::string broker;
    std::string account;
};

[[nodiscard]] ClientIdentity identify(ZelvoDll& dll);

struct DayRecords {
    std::string date;  // the local date, "today"
    std::vector<const OrderRecord*> records;
};

// The records of the orders the service sent today, oldest first.
[[nodiscard]] DayRecords todaysRecords(const TradingState& state);

// Which unknown outcomes to reconcile.
enum class ReconcileScope {
    AllToday,     // every record of today whose outcome is unknown (after a login)
    BeforeOrder,  // those of today not yet found ambiguous
};

struct ReconcileRun {
    bool listRead = true;  // false when today's orders could not be read
    std::string message;   // why not
};

[[nodiscard]] ReconcileRun reconcileUnknown(Ledger& ledger, ZelvoDll& dll, ReconcileScope scope);
// Reconciles the one record, which must be unknown.
[[nodiscard]] ReconcileRun reconcileOne(Ledger& ledger, ZelvoDll& dll, const std::string& orderId);

// The code of the order with this number: from today's records and the
// numbers seen today, else from today's orders read now; empty when none shows it.
[[nodiscard]] std::string codeOfOrder(Ledger& ledger, ZelvoDll& dll, int number);

// Zelvo_Login, and after a login that succeeds the reconciliation of
// today's unknown outcomes.
[[nodiscard]] TextAnswer loginAndReconcile(Ledger& ledger, ZelvoDll& dll, const std::string& gbkPassword);

struct LoginOutcome {
    TextAnswer answer;
    ClientIdentity identity;  // after the login
};

// A login asked for: loginAndReconcile, the client's state told to the
// event stream's listeners, and who the client is now.
[[nodiscard]] LoginOutcome logIn(Ledger& ledger, ZelvoDll& dll, EventFeed& feed, const std::string& gbkPassword);

// Zelvo_Logout, told to the event stream's listeners.
void logOut(ZelvoDll& dll, EventFeed& feed);

}  // namespace zelvo_host
