#include "routes/safety_routes.h"

#include "store/clock.h"
#include "store/limits_file.h"
#include "desk/state_answers.h"
#include "desk/trading_desk.h"

namespace zelvo_host {

namespace {

constexpr size_t maxReasonLength = 200;
constexpr std::int64_t maxSwitchSeconds = 86400;
constexpr char haltedByRequest[] = "halted by request";

[[nodiscard]] Json limitsAnswer(ServiceContext& context)
{
    const TradingState& state = context.ledger.state();
    const Instant at = now();
    const OrderCounts counts = state.orderCounts(at.date(), at.epochMs);
    return {{"ok", true},
            {"limits", limitsJson(state.limits())},
            {"counts", {{"date", at.date()},
                        {"orders_today", counts.today},
                        {"orders_in_window", counts.inWindow},
                        {"cancels_today", state.cancelCounts(at.date())}}}};
}

}  // namespace

HttpReply showLimits(ServiceContext& context)
{
    return jsonReply(200, limitsAnswer(context));
}

HttpReply changeLimits(ServiceContext& context, const Json& body)
{
    Limits changed = context.ledger.state().limits();
    if (const std::string problem = readLimits(body, changed); !problem.empty()) {
        return errorReply(400, "bad_field", problem);
    }
    if (!writeLimitsFile(context.limitsFile, changed)) {
        return errorReply(503, "limits_unwritable", "limits.json cannot be written; the limits are unchanged");
    }
    // The file holds the change now, and the file is what a restart reads:
    // the change holds even when its journal line cannot be written.
    const bool written = context.ledger.commitAlways(events::limits(changed, "request"));
    Json answer = limitsAnswer(context);
    if (!written) {
        answer["warning"] = "the change could not be written to the journal";
    }
    return jsonReply(200, answer);
}

HttpReply haltNewOrders(ServiceContext& context, const Json& body)
{
    if (const std::string unknown = unknownMember(body, {"cancel_all", "reason"}); !unknown.empty()) {
        return errorReply(400, "unknown_field", "unknown field: " + unknown);
    }
    const Json cancelAll = body.value("cancel_all", Json(false));
    const Json reason = body.value("reason", Json(haltedByRequest));
    if (!cancelAll.is_boolean()) {
        return errorReply(400, "bad_field", "cancel_all must be true or false");
    }
    if (!reason.is_string() || reason.get<std::string>().empty() || reason.get<std::string>().size() > maxReasonLength) {
        return errorReply(400, "bad_field", "reason must be text of 1-200 bytes");
    }
    const bool written = haltOrders(context, reason.get<std::string>(), "request");
    Json answer = {{"ok", true}, {"halt", haltJson(context.ledger.state().halt())}};
    if (cancelAll == true) {
        const CancelAllOutcome cancelled = cancelListed(context, Side::Any, CancelBy::Halt);
        context.ledger.commitAlways(events::cancelAllDone(CancelBy::Halt, cancelled.ok, cancelled.message));
        answer["ok"] = cancelled.ok;
        if (!cancelled.ok) {
            answer["message"] = "halted; not every order was cancelled: " + cancelled.message;
        }
        answer["cancel_all"] = {{"ok", cancelled.ok}, {"message", cancelled.message}, {"results", cancelled.results}};
    }
    if (!written) {
        answer["warning"] = "the halt could not be written to the journal: it holds until the service stops";
    }
    return jsonReply(200, answer);
}

HttpReply resumeOrders(ServiceContext& context, const Json& body)
{
    if (const std::string unknown = unknownMember(body, {}); !unknown.empty()) {
        return errorReply(400, "unknown_field", "unknown field: " + unknown);
    }
    if (context.ledger.state().halt().halted && context.ledger.commit(events::resume()) < 0) {
        return errorReply(503, "journal_unavailable", "the journal cannot be written; orders stay halted");
    }
    return jsonReply(200, {{"ok", true}, {"halt", haltJson(context.ledger.state().halt())}});
}

HttpReply armSwitch(ServiceContext& context, const Json& body)
{
    if (const std::string unknown = unknownMember(body, {"seconds"}); !unknown.empty()) {
        return errorReply(400, "unknown_field", "unknown field: " + unknown);
    }
    const std::optional<std::int64_t> seconds = wholeWithin(body.value("seconds", Json()), 0, maxSwitchSeconds);
    if (!seconds) {
        return errorReply(400, "bad_field", "seconds must be a whole number from 0 (disarm) to 86400");
    }
    const std::int64_t deadline = *seconds == 0 ? 0 : now().epochMs + *seconds * 1000;
    if (context.ledger.commit(events::switchArmed(static_cast<int>(*seconds), deadline)) < 0) {
        return errorReply(503, "journal_unavailable", "the journal cannot be written; the switch is unchanged");
    }
    return jsonReply(200, {{"ok", true}, {"switch", switchJson(context.ledger.state().deadMansSwitch())}});
}

}  // namespace zelvo_host
