#include "routes/safety_routes.h"

#include <optional>

#include "desk/order_desk.h"
#include "desk/state_answers.h"
#include "routes/json_replies.h"

namespace zelvo_host {

namespace {

constexpr size_t maxReasonLength = 200;
constexpr std::int64_t maxSwitchSeconds = 86400;
constexpr char haltedByRequest[] = "halted by request";

[[nodiscard]] Json limitsAnswer(const TradingState& state)
{
    const LimitCounts counts = limitCounts(state);
    return {{"ok", true},
            {"limits", limitsJson(state.limits())},
            {"counts", {{"date", counts.date},
                        {"orders_today", counts.orders.today},
                        {"orders_in_window", counts.orders.inWindow},
                        {"cancels_today", counts.cancels}}}};
}

}  // namespace

HttpReply getLimits(RouteContext& context, const RouteCall&)
{
    return jsonReply(200, limitsAnswer(context.ledger.state()));
}

HttpReply putLimits(RouteContext& context, const RouteCall& call)
{
    if (const std::optional<FieldProblem> unknown = unknownField(call.body, limitNames(), "limit")) {
        return fieldRefusal(*unknown);
    }
    Limits changed = context.ledger.state().limits();
    if (std::string problem = readLimits(call.body, changed); !problem.empty()) {
        return fieldRefusal(badField(std::move(problem)));
    }
    const LimitsChange change = changeLimits(context.ledger, context.limitsFile, changed);
    if (change == LimitsChange::FileUnwritable) {
        return errorReply(503, "limits_unwritable", "the limits file cannot be written; the limits are unchanged");
    }
    Json answer = limitsAnswer(context.ledger.state());
    if (change == LimitsChange::Unjournalled) {
        answer["warning"] = "the change could not be written to the journal";
    }
    return jsonReply(200, answer);
}

HttpReply postHalt(RouteContext& context, const RouteCall& call)
{
    if (const std::optional<FieldProblem> unknown = unknownField(call.body, {"cancel_all", "reason"})) {
        return fieldRefusal(*unknown);
    }
    const Json& cancelAll = memberOf(call.body, "cancel_all");
    const Json& reason = memberOf(call.body, "reason");
    if (call.body.contains("cancel_all") && !cancelAll.is_boolean()) {
        return fieldRefusal(badField("cancel_all must be true or false"));
    }
    if (call.body.contains("reason") && (!reason.is_string() || reason.get_ref<const std::string&>().empty() ||
                              reason.get_ref<const std::string&>().size() > maxReasonLength)) {
        return fieldRefusal(badField("reason must be text of 1-200 bytes"));
    }
    const std::string reasonText = reason.is_string() ? reason.get<std::string>() : haltedByRequest;
    const HaltOutcome halted = haltOrders(context.ledger, context.dll, reasonText, cancelAll == true);
    Json answer = {{"ok", true}, {"halt", haltJson(context.ledger.state().halt())}};
    if (const std::optional<CancelAllOutcome>& cancelled = halted.cancelled) {
        answer["ok"] = cancelled->ok;
        if (!cancelled->ok) {
            answer["message"] = "halted; not every order was cancelled: " + cancelled->message;
        }
        answer["cancel_all"] = {{"ok", cancelled->ok}, {"message", cancelled->message}, {"results", cancelled->results}};
    }
    if (!halted.written) {
        answer["warning"] = "the halt could not be written to the journal: it holds until the service stops";
    }
    return jsonReply(200, answer);
}

HttpReply postResume(RouteContext& context, const RouteCall& call)
{
    if (const std::optional<FieldProblem> unknown = unknownField(call.body, {})) {
        return fieldRefusal(*unknown);
    }
    if (!resumeOrders(context.ledger)) {
        return errorReply(503, "journal_unavailable", "the journal cannot be written; orders stay halted");
    }
    return jsonReply(200, {{"ok", true}, {"halt", haltJson(context.ledger.state().halt())}});
}

HttpReply postCancelAfter(RouteContext& context, const RouteCall& call)
{
    if (const std::optional<FieldProblem> unknown = unknownField(call.body, {"seconds"})) {
        return fieldRefusal(*unknown);
    }
    const std::optional<std::int64_t> seconds = wholeWithin(memberOf(call.body, "seconds"), 0, maxSwitchSeconds);
    if (!seconds) {
        return fieldRefusal(badField("seconds must be a whole number from 0 (disarm) to 86400"));
    }
    if (!armSwitch(context.ledger, static_cast<int>(*seconds))) {
        return errorReply(503, "journal_unavailable", "the journal cannot be written; the switch is unchanged");
    }
    return jsonReply(200, {{"ok", true}, {"switch", switchJson(context.ledger.state())}});
}

}  // namespace zelvo_host
