#include "desk/trading_desk.h"

#include <algorithm>
#include <vector>

#include "desk/client_polls.h"
#include "rules/order_lists.h"
#include "rules/reconciliation.h"
#include "store/clock.h"

namespace zelvo_host {

namespace {

[[nodiscard]] std::vector<const OrderRecord*> unknownOf(const TradingState& state, const std::string& date)
{
    std::vector<const OrderRecord*> unknown;
    for (const OrderRecord* record : state.recordsOf(date)) {
        if (record->outcome == Outcome::Unknown) {
            unknown.push_back(record);
        }
    }
    return unknown;
}

[[nodiscard]] std::vector<int> claimedOn(const TradingState& state, const std::string& date)
{
    std::vector<int> claimed;
    for (const OrderRecord* record : state.recordsOf(date)) {
        if (record->contract >= 0) {
            claimed.push_back(record->contract);
        }
    }
    return claimed;
}

[[nodiscard]] bool changes(const OrderRecord& record, const Reconciled& result)
{
    return result.outcome != record.outcome || result.note != record.note || result.candidates != record.candidates;
}

[[nodiscard]] bool listsOrders(zelvo::QueryKind kind)
{
    return kind == zelvo::QueryKind::TodayOrders || kind == zelvo::QueryKind::CancelList;
}

// Reconciles `chosen` against today's orders, read once; `always`: each
// result is journalled even when it changes nothing (an attempt asked for).
[[nodiscard]] ReconcileRun reconcileRecords(Ledger& ledger, ZelvoDll& dll, const std::vector<const OrderRecord*>& chosen,
                                            bool always)
{
    if (chosen.empty()) {
        return {};
    }
    const Instant at = now();
    const TradingState& state = ledger.state();
    const bool needsList = std::any_of(chosen.begin(), chosen.end(),
                                       [&](const OrderRecord* record) { return record->date() == at.date(); });
    ListRead list;
    if (needsList) {
        list = readList(dll, zelvo::QueryKind::TodayOrders);
        if (!list.ok) {
            return {false, list.message};
        }
    }
    ReconcileInput input;
    input.table = &list.table;
    input.today = at.date();
    input.steadyNowMs = steadyMs();
    input.settleMs = static_cast<std::int64_t>(state.limits().settleSeconds) * 1000;
    input.unknownToday = unknownOf(state, at.date());
    input.claimed = claimedOn(state, at.date());
    input.firstSeen = [&state, &at](int number) -> std::optional<std::int64_t> {
        const std::optional<OrderNumberSeen> seen = state.seen(at.date(), number);
        return seen ? std::optional<std::int64_t>(seen->seq) : std::nullopt;
    };
    // The results are decided before anything is written: each commit changes the records.
    const std::vector<Reconciled> results = reconcile(chosen, input);
    for (const Reconciled& result : results) {
        const OrderRecord* record = state.record(result.orderId);
        if (record != nullptr && (always || changes(*record, result))) {
            (void)ledger.commit(entries::reconciled(result));
        }
    }
    if (needsList) {
        rememberListed(ledger, list.table);
    }
    return {};
}

}  // namespace

ListRead readList(ZelvoDll& dll, zelvo::QueryKind kind)
{
    const QueryAnswer answer = dll.query(static_cast<int>(kind));
    if (answer.result.empty()) {
        return {false, {}, answer.message, answer.clientState};
    }
    return {true, parseTable(answer.result), answer.message, answer.clientState};
}

void rememberListed(Ledger& ledger, const Table& table)
{
    const std::string today = now().date();
    std::vector<ListedNumber> fresh;
    for (const ListedOrder& order : readOrderList(table).orders) {
        const bool taken = std::any_of(fresh.begin(), fresh.end(), [&](const ListedNumber& n) { return n.number == order.number; });
        if (!taken && !ledger.state().seen(today, order.number)) {
            fresh.push_back({order.number, order.code});
        }
    }
    if (!fresh.empty()) {
        // Unwritten, the numbers stay unseen: reconciliation then has more
        // rows to choose from, never fewer, and does not guess among them.
        (void)ledger.commit(entries::seen(fresh));
    }
}

QueryRead queryPage(Ledger& ledger, ZelvoDll& dll, zelvo::QueryKind kind)
{
    QueryRead read{dll.query(static_cast<int>(kind)), {}};
    read.table = zelvo::isFundsLine(kind) ? parseFundsLine(read.answer.result) : parseTable(read.answer.result);
    if (listsOrders(kind)) {
        rememberListed(ledger, read.table);
    }
    return read;
}

ClientIdentity identify(ZelvoDll& dll)
{
    ClientIdentity identity;
    identity.title = dll.title();
    identity.broker = dll.broker();
    identity.account = dll.account();
    return identity;
}

DayRecords todaysRecords(const TradingState& state)
{
    DayRecords today{now().date(), {}};
    today.records = state.recordsOf(today.date);
    return today;
}

ReconcileRun reconcileUnknown(Ledger& ledger, ZelvoDll& dll, ReconcileScope scope)
{
    std::vector<const OrderRecord*> chosen = unknownOf(ledger.state(), now().date());
    if (scope == ReconcileScope::BeforeOrder) {
        // A record found ambiguous stays so whatever rows come later; it is
        // reconciled after a login or when asked, not before every order.
        chosen.erase(std::remove_if(chosen.begin(), chosen.end(), [](const OrderRecord* record) { return record->ambiguous; }),
                     chosen.end());
    }
    return reconcileRecords(ledger, dll, chosen, false);
}

ReconcileRun reconcileOne(Ledger& ledger, ZelvoDll& dll, const std::string& orderId)
{
    const OrderRecord* record = ledger.state().record(orderId);
    if (record == nullptr || record->outcome != Outcome::Unknown) {
        return {};
    }
    return reconcileRecords(ledger, dll, {record}, true);
}

std::string codeOfOrder(Ledger& ledger, ZelvoDll& dll, int number)
{
    const std::string today = now().date();
    if (const std::optional<OrderNumberSeen> seen = ledger.state().seen(today, number); seen && !seen->code.empty()) {
        return seen->code;
    }
    const ListRead list = readList(dll, zelvo::QueryKind::TodayOrders);
    if (list.ok) {
        rememberListed(ledger, list.table);
    }
    const std::optional<OrderNumberSeen> seen = ledger.state().seen(today, number);
    return seen ? seen->code : std::string();
}

TextAnswer loginAndReconcile(Ledger& ledger, ZelvoDll& dll, const std::string& gbkPassword)
{
    const TextAnswer answer = dll.login(gbkPassword);
    if (answer.ok) {
        (void)reconcileUnknown(ledger, dll, ReconcileScope::AllToday);
    }
    return answer;
}

LoginOutcome logIn(Ledger& ledger, ZelvoDll& dll, EventFeed& feed, const std::string& gbkPassword)
{
    LoginOutcome outcome;
    outcome.answer = loginAndReconcile(ledger, dll, gbkPassword);
    noteClientState(feed, outcome.answer.clientState, outcome.answer.message);
    outcome.identity = identify(dll);
    return outcome;
}

void logOut(ZelvoDll& dll, EventFeed& feed)
{
    dll.logout();
    noteClientState(feed, "logged_out", "");
}

}  // namespace zelvo_host
