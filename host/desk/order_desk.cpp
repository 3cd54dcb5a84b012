#include "desk/order_desk.h"

#include <algorithm>
#include <utility>

#include "desk/state_answers.h"
#include "desk/trading_desk.h"
#include "rules/journal_entries.h"
#include "store/clock.h"
#include "store/limits_file.h"

namespace zelvo_host {

namespace {

constexpr char unwrittenAnswer[] = "the answer could not be written to the journal";

[[nodiscard]] DeskAnswer journalUnavailable()
{
    return {503, errorBody("journal_unavailable", "the journal cannot be written; nothing was done")};
}

// A request that may change the account, as sent.
struct Sent {
    bool sent = false;           // false: its entry could not be written, and nothing was sent
    bool answerWritten = false;  // the answer's entry was written
    Json answer;
};

// The one way the service sends what may change the account: the request's
// entry is written before zelvo.dll is called, and nothing is sent when it
// cannot be; `call` then makes the call and gives the answer, whose entry is
// written after, and applied even when it cannot be written (the call was
// made).
template <typename Call>
[[nodiscard]] Sent sendJournalled(Ledger& ledger, Json request, Call call)
{
    const std::int64_t sequence = ledger.commit(std::move(request));
    if (sequence < 0) {
        return {};
    }
    Sent sent{true, false, call()};
    sent.answerWritten = ledger.commitAnswer(sequence, entries::answer(200, sent.answer));
    return sent;
}

// The reply to what was sent: it goes out even when the answer's entry could
// not be written, and then says so.
[[nodiscard]] DeskAnswer replyTo(const Sent& sent, Json reply)
{
    if (!sent.answerWritten) {
        reply["warning"] = unwrittenAnswer;
    }
    return {200, std::move(reply)};
}

// A request the service answers itself, sending nothing (a repeat, a
// conflict, a refusal): its entry and its answer are journalled, and it is
// answered whether or not they could be written.
[[nodiscard]] DeskAnswer answerItself(Ledger& ledger, Json request, int status, Json answer)
{
    const std::int64_t sequence = ledger.commit(std::move(request));
    if (sequence >= 0 && !ledger.commitAnswer(sequence, entries::answer(status, answer))) {
        answer["warning"] = unwrittenAnswer;
    }
    return {status, std::move(answer)};
}

// The order record as POST /v1/orders answers it: `ok` when placed.
[[nodiscard]] Json orderAnswer(const OrderRecord& record)
{
    Json answer = recordJson(record);
    answer["ok"] = record.outcome == Outcome::Placed;
    return answer;
}

[[nodiscard]] Json riskLimitBody(const RiskRefusal& refusal)
{
    Json body = errorBody("risk_limit", refusal.message);
    body["limit"] = refusal.limit;
    body["value"] = refusal.value;
    body["current"] = refusal.current;
    return body;
}

[[nodiscard]] Json haltedBody(const HaltState& halt)
{
    Json body = errorBody("halted", "new orders are halted (" + halt.reason + "); nothing was sent to the client");
    body["halt"] = haltJson(halt);
    return body;
}

[[nodiscard]] DeskAnswer answerOrderItself(Ledger& ledger, const OrderRequest& order, int status, Json answer)
{
    return answerItself(ledger, entries::orderRequest(order.toJson(), order.orderId, false), status, std::move(answer));
}

// A repeat of an order id already used: the order's record, marked as such;
// or a conflict when the id came with a different order.
[[nodiscard]] DeskAnswer answerAgain(Ledger& ledger, const OrderRequest& order, const OrderRecord& first)
{
    if (dumpJson(order.toJson()) != dumpJson(first.request())) {
        Json conflict = errorBody("order_id_reused", "this order_id was used for a different order; nothing was placed");
        conflict["first_answer"] = orderAnswer(first);
        return answerOrderItself(ledger, order, 409, conflict);
    }
    Json answer = orderAnswer(first);
    answer["replayed"] = true;
    return answerOrderItself(ledger, order, 200, answer);
}

[[nodiscard]] const char* outcomeOf(const OrderAnswer& answer)
{
    if (answer.contract >= 0) {
        return "placed";
    }
    return answer.outcomeUnknown ? "unknown" : "refused";
}

[[nodiscard]] DeskAnswer sendOrder(Ledger& ledger, ZelvoDll& dll, const OrderRequest& order)
{
    const std::string orderId =
        order.orderId.empty() ? serviceOrderId(now().date(), ledger.state().nextSeq()) : order.orderId;
    const Sent sent = sendJournalled(ledger, entries::orderRequest(order.toJson(), orderId, true), [&] {
        // Codes are ASCII, so their GBK text is the same bytes.
        const OrderAnswer placed = dll.sendOrder(static_cast<int>(order.kind), order.code, order.price, order.quantity);
        Json answer = order.toJson();
        answer["order_id"] = orderId;
        answer["ok"] = placed.contract >= 0;
        answer["outcome"] = outcomeOf(placed);
        answer["contract"] = placed.contract;
        answer["message"] = placed.message;
        return answer;
    });
    if (!sent.sent) {
        return journalUnavailable();
    }
    return replyTo(sent, orderAnswer(*ledger.state().record(orderId)));
}

// The limit on cancels per code, for the caller's cancels; none for an order
// whose code is not known.
[[nodiscard]] std::optional<RiskRefusal> cancelRefusal(const TradingState& state, const std::string& code)
{
    if (code.empty()) {
        return std::nullopt;
    }
    return checkCancel(state.limits(), code, state.cancelsOf(now().date(), code));
}

// One cancel of a cancel-all: the call, then its entry, applied even when it
// cannot be written (the cancel was made).
[[nodiscard]] TextAnswer cancelListedOrder(Ledger& ledger, ZelvoDll& dll, const ListedOrder& order, CancelBy by)
{
    const TextAnswer cancelled = dll.cancelOrder(order.number);
    ledger.commitAlways(entries::cancel({order.number, order.code}, by, cancelled.ok, cancelled.message));
    return cancelled;
}

// The orders of the cancel list, of one side when `side` says so, with the
// order numbers remembered; none, with why, when the list cannot be used.
[[nodiscard]] std::optional<CancelSelection> listedToCancel(Ledger& ledger, ZelvoDll& dll, Side side, std::string& problem)
{
    const ListRead list = readList(dll, zelvo::QueryKind::CancelList);
    if (!list.ok) {
        problem = list.message;
        return std::nullopt;
    }
    rememberListed(ledger, list.table);
    CancelSelection selection = ordersToCancel(list.table, side);
    if (!selection.problem.empty()) {
        problem = selection.problem;
        return std::nullopt;
    }
    return selection;
}

// Whether the switch has had the cancel of `order` accepted since it fired.
[[nodiscard]] bool cancelledBySwitch(const Ledger& ledger, const ListedOrder& order)
{
    return ledger.state().switchFiring().cancelled.count(order.number) != 0;
}

// Cancels the orders of the cancel list, of one side when `side` says so.
// The caller's cancels are held to the limit on cancels per code; a halt's
// and the switch's are not. The switch passes over the orders it has
// cancelled since it fired: the client may list an order until its cancel
// is through.
[[nodiscard]] CancelAllOutcome cancelListed(Ledger& ledger, ZelvoDll& dll, Side side, CancelBy by)
{
    CancelAllOutcome outcome;
    const std::optional<CancelSelection> selection = listedToCancel(ledger, dll, side, outcome.message);
    if (!selection) {
        return outcome;
    }
    outcome.listRead = true;
    size_t accepted = 0;
    for (const ListedOrder& order : selection->orders) {
        if (by == CancelBy::Switch && cancelledBySwitch(ledger, order)) {
            ++accepted;
            outcome.results.push_back({{"number", order.number}, {"ok", true}, {"message", "cancelled already"}});
            continue;
        }
        if (by == CancelBy::Caller) {
            if (const std::optional<RiskRefusal> refusal = cancelRefusal(ledger.state(), order.code)) {
                outcome.results.push_back({{"number", order.number}, {"ok", false}, {"message", refusal->message}});
                continue;
            }
        }
        const TextAnswer cancelled = cancelListedOrder(ledger, dll, order, by);
        ++outcome.cancelsSent;
        accepted += cancelled.ok ? 1 : 0;
        outcome.results.push_back({{"number", order.number}, {"ok", cancelled.ok}, {"message", cancelled.message}});
    }
    outcome.ok = accepted == selection->orders.size();
    outcome.message = "cancelled " + std::to_string(accepted) + " of " + std::to_string(selection->orders.size()) + " orders";
    return outcome;
}

// The switch's cancels need a session: when the service is not attached (the
// client was restarted) it logs in first. Why it could not, or none.
[[nodiscard]] std::optional<std::string> sessionForSwitch(Ledger& ledger, ZelvoDll& dll)
{
    if (!dll.title().empty()) {
        return std::nullopt;
    }
    const TextAnswer login = loginAndReconcile(ledger, dll, {});
    return login.ok ? std::nullopt : std::optional<std::string>("cannot log in: " + login.message);
}

// Whether the cancel list, read again, shows no order the switch has not
// cancelled since it fired; `message` gets why not.
[[nodiscard]] bool noneLeftForSwitch(Ledger& ledger, ZelvoDll& dll, std::string& message)
{
    std::string problem;
    const std::optional<CancelSelection> listed = listedToCancel(ledger, dll, Side::Any, problem);
    if (!listed) {
        message += "; the cancel list could not be read again: " + problem;
        return false;
    }
    const size_t left = static_cast<size_t>(std::count_if(listed->orders.begin(), listed->orders.end(),
                                                           [&](const ListedOrder& order) { return !cancelledBySwitch(ledger, order); }));
    if (left > 0) {
        message += "; the cancel list still shows " + std::to_string(left) + " orders to cancel";
    }
    return left == 0;
}

// One try of a fired switch's cancels: log in when not attached, cancel what
// the cancel list shows, and read it again when anything was cancelled.
// Journalled (and so told to the event stream) whatever it came to; the
// cancels are done when the list shows no order left to cancel.
void trySwitchCancels(Ledger& ledger, ZelvoDll& dll)
{
    const int attempt = ledger.state().switchFiring().attempts + 1;
    CancelAllOutcome tried;
    bool done = false;
    if (const std::optional<std::string> noSession = sessionForSwitch(ledger, dll)) {
        tried.message = *noSession;
    } else {
        tried = cancelListed(ledger, dll, Side::Any, CancelBy::Switch);
        if (tried.ok && tried.cancelsSent == 0) {
            done = true;  // the list was read and showed nothing left to cancel
        } else if (tried.ok) {
            done = noneLeftForSwitch(ledger, dll, tried.message);
        }
    }
    ledger.commitAlways(entries::switchCancels(attempt, tried.ok, done, tried.message));
}

// A halt's cancel-all: every order of the cancel list, journalled once done.
[[nodiscard]] CancelAllOutcome cancelAllForHalt(Ledger& ledger, ZelvoDll& dll)
{
    const CancelAllOutcome cancelled = cancelListed(ledger, dll, Side::Any, CancelBy::Halt);
    ledger.commitAlways(entries::cancelAllDone(CancelBy::Halt, cancelled.ok, cancelled.message));
    return cancelled;
}

// The one halt, whoever asks (a request, or the switch): new orders are
// refused from now on, even when that cannot be journalled.
[[nodiscard]] bool haltNewOrders(Ledger& ledger, const std::string& reason, CancelBy by)
{
    if (ledger.state().halt().halted) {
        return true;
    }
    return ledger.commitAlways(entries::halt(reason, by == CancelBy::Switch ? "switch" : "request"));
}

}  // namespace

DeskAnswer placeOrder(Ledger& ledger, ZelvoDll& dll, const OrderRequest& order)
{
    const TradingState& state = ledger.state();
    if (!order.orderId.empty()) {
        if (const OrderRecord* first = state.record(order.orderId)) {
            return answerAgain(ledger, order, *first);
        }
    }
    if (state.halt().halted) {
        return answerOrderItself(ledger, order, 423, haltedBody(state.halt()));
    }
    if (const std::optional<RiskRefusal> refusal = checkOrder(state.limits(), order.code, order.price, order.quantity,
                                                              state.orderCounts(now().date(), steadyMs()))) {
        return answerOrderItself(ledger, order, 422, riskLimitBody(*refusal));
    }
    // An unknown order that is out takes its row of today's orders before
    // this one's row can be taken for it.
    (void)reconcileUnknown(ledger, dll, ReconcileScope::BeforeOrder);
    return sendOrder(ledger, dll, order);
}

DeskAnswer cancelOrder(Ledger& ledger, ZelvoDll& dll, int number)
{
    const std::string code = codeOfOrder(ledger, dll, number);
    if (const std::optional<RiskRefusal> refusal = cancelRefusal(ledger.state(), code)) {
        return answerItself(ledger, entries::cancelRequest(number, code, false), 422, riskLimitBody(*refusal));
    }
    const Sent sent = sendJournalled(ledger, entries::cancelRequest(number, code, true), [&] {
        const TextAnswer cancelled = dll.cancelOrder(number);
        return Json{{"ok", cancelled.ok}, {"number", number}, {"message", cancelled.message}};
    });
    return sent.sent ? replyTo(sent, sent.answer) : journalUnavailable();
}

DeskAnswer cancelAll(Ledger& ledger, ZelvoDll& dll, Side side)
{
    const char* sideName = side == Side::Buy ? "buy" : side == Side::Sell ? "sell" : nullptr;
    const Json request = sideName == nullptr ? Json::object() : Json{{"side", sideName}};
    const Sent sent = sendJournalled(ledger, entries::request(cancelAllRoute, request), [&] {
        const CancelAllOutcome cancelled = cancelListed(ledger, dll, side, CancelBy::Caller);
        return Json{{"ok", cancelled.ok},
                    {"side", sideName == nullptr ? "any" : sideName},
                    {"results", cancelled.results},
                    {"message", cancelled.message}};
    });
    return sent.sent ? replyTo(sent, sent.answer) : journalUnavailable();
}

HaltOutcome haltOrders(Ledger& ledger, ZelvoDll& dll, const std::string& reason, bool cancelAll)
{
    HaltOutcome outcome;
    outcome.written = haltNewOrders(ledger, reason, CancelBy::Halt);
    if (cancelAll) {
        outcome.cancelled = cancelAllForHalt(ledger, dll);
    }
    return outcome;
}

bool resumeOrders(Ledger& ledger)
{
    return !ledger.state().halt().halted || ledger.commit(entries::resume()) >= 0;
}

bool armSwitch(Ledger& ledger, int seconds)
{
    // The journal keeps the wall-clock deadline for a restart; in the process
    // the countdown runs on the steady clock from the entry (TradingState).
    const std::int64_t deadline = seconds == 0 ? 0 : now().epochMs + static_cast<std::int64_t>(seconds) * 1000;
    return ledger.commit(entries::switchArmed(seconds, deadline)) >= 0;
}

void runSwitchIfDue(Ledger& ledger, ZelvoDll& dll)
{
    const std::int64_t at = steadyMs();
    if (switchDue(ledger.state(), at)) {
        const int seconds = ledger.state().deadMansSwitch().seconds;
        ledger.commitAlways(entries::switchFired(seconds));
        (void)haltNewOrders(ledger, "dead man's switch: not re-armed within " + std::to_string(seconds) + " s",
                            CancelBy::Switch);
        trySwitchCancels(ledger, dll);
    } else if (switchRetryDue(ledger.state(), at)) {
        trySwitchCancels(ledger, dll);
    }
}

LimitsChange changeLimits(Ledger& ledger, const std::wstring& limitsFile, const Limits& limits)
{
    if (!writeLimitsFile(limitsFile, limits)) {
        return LimitsChange::FileUnwritable;
    }
    // The file holds the change now, and the file is what a restart reads:
    // the change holds even when its journal entry cannot be written.
    return ledger.commitAlways(entries::limits(limits, "request")) ? LimitsChange::Written : LimitsChange::Unjournalled;
}

LimitCounts limitCounts(const TradingState& state)
{
    const std::string today = now().date();
    return {today, state.orderCounts(today, steadyMs()), state.cancelCounts(today)};
}

}  // namespace zelvo_host
