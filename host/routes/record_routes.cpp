#include "routes/record_routes.h"

#include <optional>

#include "desk/trading_desk.h"
#include "routes/json_replies.h"

namespace zelvo_host {

namespace {

[[nodiscard]] HttpReply unknownOrder(std::string_view orderId)
{
    return errorReply(404, "unknown_order", "no order has the order_id " + std::string(orderId));
}

}  // namespace

HttpReply getOrders(RouteContext& context, const RouteCall&)
{
    const DayRecords today = todaysRecords(context.ledger.state());
    Json records = Json::array();
    for (const OrderRecord* record : today.records) {
        records.push_back(recordJson(*record));
    }
    return jsonReply(200, {{"ok", true}, {"date", today.date}, {"orders", records}});
}

HttpReply getOrder(RouteContext& context, const RouteCall& call)
{
    const OrderRecord* record = context.ledger.state().record(std::string(call.name));
    if (record == nullptr) {
        return unknownOrder(call.name);
    }
    return jsonReply(200, {{"ok", true}, {"order", recordJson(*record)}});
}

HttpReply postReconcile(RouteContext& context, const RouteCall& call)
{
    if (const std::optional<FieldProblem> unknown = unknownField(call.body, {})) {
        return fieldRefusal(*unknown);
    }
    const std::string id(call.name);
    if (context.ledger.state().record(id) == nullptr) {
        return unknownOrder(call.name);
    }
    const ReconcileRun run = reconcileOne(context.ledger, context.dll, id);
    Json answer = {{"ok", run.listRead}, {"order", recordJson(*context.ledger.state().record(id))}};
    if (!run.listRead) {
        answer["message"] = "today's orders could not be read: " + run.message;
    }
    return jsonReply(200, answer);
}

}  // namespace zelvo_host
