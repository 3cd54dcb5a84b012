#include "desk/trading_desk.h"

#include <algorithm>

#include "store/clock.h"
#include "rules/reconciliation.h"

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

// Reconciles `chosen` against today's orders, read once; `always`: each
// result is journalled even when it changes nothing (an attempt asked for).
[[nodiscard]] ReconcileRun reconcileRecords(ServiceContext& context, const std::vector<const OrderRecord*>& chosen, bool always)
{
    if (chosen.empty()) {
        return {};
    }
    const Instant at = now();
    const TradingState& state = context.ledger.state();
    const bool needsList = std::any_of(chosen.begin(), chosen.end(),
                                       [&](const OrderRecord* record) { return record->date() == at.date(); });
    ListRead list;
    if (needsList) {
        list = readOrders(context, zelvo::QueryKind::TodayOrders);
        if (!list.ok) {
            return {false, list.message};
        }
    }
    ReconcileInput input;
    input.table = &list.table;
    input.today = at.date();
    input.nowMs = at.epochMs;
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
            (void)context.ledger.commit(events::reconciled(result));
        }
    }
    if (needsList) {
        rememberListed(context, list.table);
    }
    return {};
}

}  // namespace

ListRead readOrders(ServiceContext& context, zelvo::QueryKind kind)
{
    const QueryAnswer answer = context.library.query(static_cast<int>(kind));
    if (answer.result.empty()) {
        return {false, {}, answer.message};
    }
    return {true, parseTable(answer.result), answer.message};
}

void rememberListed(ServiceContext& context, const Table& table)
{
    const std::string today = now().date();
    std::vector<ListedNumber> fresh;
    for (const ListedOrder& order : readOrderList(table).orders) {
        const bool taken = std::any_of(fresh.begin(), fresh.end(), [&](const ListedNumber& n) { return n.number == order.number; });
        if (!taken && !context.ledger.state().seen(today, order.number)) {
            fresh.push_back({order.number, order.code});
        }
    }
    if (!fresh.empty()) {
        // Unwritten, the numbers stay unseen: reconciliation then has more
        // rows to choose from, never fewer, and does not guess among them.
        (void)context.ledger.commit(events::seen(fresh));
    }
}

ReconcileRun reconcileUnknown(ServiceContext& context, ReconcileScope scope)
{
    std::vector<const OrderRecord*> chosen = unknownOf(context.ledger.state(), now().date());
    if (scope == ReconcileScope::BeforeOrder) {
        // A record found ambiguous stays so whatever rows come later; it is
        // reconciled after a login or when asked, not before every order.
        chosen.erase(std::remove_if(chosen.begin(), chosen.end(), [](const OrderRecord* record) { return record->ambiguous; }),
                     chosen.end());
    }
    return reconcileRecords(context, chosen, false);
}

ReconcileRun reconcileOne(ServiceContext& context, const std::string& orderId)
{
    const OrderRecord* record = context.ledger.state().record(orderId);
    if (record == nullptr || record->outcome != Outcome::Unknown) {
        return {};
    }
    return reconcileRecords(context, {record}, true);
}

std::string codeOfOrder(ServiceContext& context, int number)
{
    const std::string today = now().date();
    if (const std::optional<OrderNumberSeen> seen = context.ledger.state().seen(today, number); seen && !seen->code.empty()) {
        return seen->code;
    }
    const ListRead list = readOrders(context, zelvo::QueryKind::TodayOrders);
    if (list.ok) {
        rememberListed(context, list.table);
    }
    const std::optional<OrderNumberSeen> seen = context.ledger.state().seen(today, number);
    return seen ? seen->code : std::string();
}

CancelAllOutcome cancelListed(ServiceContext& context, Side side, CancelBy by)
{
    CancelAllOutcome outcome;
    const ListRead list = readOrders(context, zelvo::QueryKind::CancelList);
    if (!list.ok) {
        outcome.message = list.message;
        return outcome;
    }
    rememberListed(context, list.table);
    const CancelSelection selection = ordersToCancel(list.table, side);
    if (!selection.problem.empty()) {
        outcome.message = selection.problem;
        return outcome;
    }
    size_t accepted = 0;
    for (const ListedOrder& order : selection.orders) {
        const std::string today = now().date();
        const std::optional<RiskRefusal> refusal =
            by == CancelBy::Caller ? checkCancel(context.ledger.state().limits(), order.code,
                                                 context.ledger.state().cancelsOf(today, order.code))
                                   : std::nullopt;
        if (refusal) {
            outcome.results.push_back({{"number", order.number}, {"ok", false}, {"message", refusal->message}});
            continue;
        }
        const TextAnswer cancelled = context.library.cancelOrder(order.number);
        context.ledger.commitAlways(events::cancel({order.number, order.code}, by, cancelled.ok, cancelled.message));
        accepted += cancelled.ok ? 1 : 0;
        outcome.results.push_back({{"number", order.number}, {"ok", cancelled.ok}, {"message", cancelled.message}});
    }
    outcome.ok = accepted == selection.orders.size();
    outcome.message = "cancelled " + std::to_string(accepted) + " of " + std::to_string(selection.orders.size()) + " orders";
    return outcome;
}

TextAnswer loginAndReconcile(ServiceContext& context, const std::string& gbkPassword)
{
    const TextAnswer answer = context.library.login(gbkPassword);
    if (answer.ok) {
        (void)reconcileUnknown(context, ReconcileScope::AllToday);
    }
    return answer;
}

bool haltOrders(ServiceContext& context, const std::string& reason, const char* by)
{
    if (context.ledger.state().halt().halted) {
        return true;
    }
    return context.ledger.commitAlways(events::halt(reason, by));
}

bool fireSwitchIfDue(ServiceContext& context)
{
    const SwitchState armed = context.ledger.state().deadMansSwitch();
    if (!armed.armed || now().epochMs < armed.deadlineMs) {
        return false;
    }
    context.ledger.commitAlways(events::switchFired(armed.seconds));
    haltOrders(context, "dead man's switch: not re-armed within " + std::to_string(armed.seconds) + " s", "switch");
    if (context.library.title().empty()) {
        // Not attached (the client was restarted): the cancels need a session.
        const TextAnswer login = loginAndReconcile(context, {});
        if (!login.ok) {
            context.ledger.commitAlways(events::cancelAllDone(CancelBy::Switch, false, "cannot log in: " + login.message));
            return true;
        }
    }
    const CancelAllOutcome cancelled = cancelListed(context, Side::Any, CancelBy::Switch);
    context.ledger.commitAlways(events::cancelAllDone(CancelBy::Switch, cancelled.ok, cancelled.message));
    return true;
}

}  // namespace zelvo_host
