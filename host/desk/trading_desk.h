// What the service does with zelvo.dll and the ledger together, for the
// routes and for the service's timer: reading the client's lists of orders
// (and remembering the order numbers they show), reconciling unknown
// outcomes, finding an order number's code, cancelling every order of the
// cancel list, logging in, and firing the dead man's switch. Runs on the
// service thread, never while another call into zelvo.dll runs.
#pragma once
#include <string>
#include <vector>

#include "rules/json_types.h"
#include "rules/order_lists.h"
#include "service_context.h"
#include "rules/tables.h"
#include "zelvo_kinds.h"

namespace zelvo_host {

struct ListRead {
    bool ok = false;
    Table table;
    std::string message;  // the client's status text, or why there is no list
};

// Runs a query of a list of orders (today's orders, the cancel list).
[[nodiscard]] ListRead readOrders(ServiceContext& context, zelvo::QueryKind kind);

// Records the order numbers `table` shows that were not seen today.
void rememberListed(ServiceContext& context, const Table& table);

// Which unknown outcomes to reconcile.
enum class ReconcileScope {
    AllToday,     // every record of today whose outcome is unknown (after a login)
    BeforeOrder,  // those of today not yet found ambiguous
};

struct ReconcileRun {
    bool listRead = true;  // false when today's orders could not be read
    std::string message;   // why not
};

[[nodiscard]] ReconcileRun reconcileUnknown(ServiceContext& context, ReconcileScope scope);
// Reconciles the one record, which must be unknown.
[[nodiscard]] ReconcileRun reconcileOne(ServiceContext& context, const std::string& orderId);

// The code of the order with this number: from today's records and the
// numbers seen today, else from today's orders read now; empty when none shows it.
[[nodiscard]] std::string codeOfOrder(ServiceContext& context, int number);

struct CancelAllOutcome {
    bool ok = false;       // the list was read and every cancel accepted
    std::string message;   // how many were cancelled, or why the list could not be used
    Json results = Json::array();  // {"number", "ok", "message"} per order, in list order
};

// Cancels the orders of the cancel list, of one side when `side` says so.
// The caller's cancels are held to the limit on cancels per code; a halt's
// and the switch's are not.
[[nodiscard]] CancelAllOutcome cancelListed(ServiceContext& context, Side side, CancelBy by);

// Zelvo_Login, and after a login that succeeds the reconciliation of
// today's unknown outcomes.
[[nodiscard]] TextAnswer loginAndReconcile(ServiceContext& context, const std::string& gbkPassword);

// Halts new orders for `reason` unless they are halted already; false when
// the halt could not be written to the journal (it holds all the same).
bool haltOrders(ServiceContext& context, const std::string& reason, const char* by);

// Called by the service's timer: when the switch's deadline has passed, it
// halts and cancels every order of the cancel list (logging in first when
// the service is not attached), journalling each step. True when it fired.
bool fireSwitchIfDue(ServiceContext& context);

}  // namespace zelvo_host
