#include "routes/record_routes.h"

#include "store/clock.h"
#include "desk/trading_desk.h"

namespace zelvo_host {

namespace {

[[nodiscard]] HttpReply unknownOrder(std::string_view orderId)
{
    return errorReply(404, "unknown_order", "no order has the order_id " + std::string(orderId));
}

}  // namespace

HttpReply listOrders(ServiceContext& context)
{
    const std::string today = now().date();
    Json records = Json::array();
    for (const OrderRecord* record : context.ledger.state().recordsOf(today)) {
        records.push_back(recordJson(*record));
    }
    return jsonReply(200, {{"ok", true}, {"date", today}, {"orders", records}});
}

HttpReply showOrder(ServiceContext& context, std::string_view orderId)
{
    const OrderRecord* record = context.ledger.state().record(std::string(orderId));
    if (record == nullptr) {
        return unknownOrder(orderId);
    }
    return jsonReply(200, {{"ok", true}, {"order", recordJson(*record)}});
}

HttpReply reconcileOrder(ServiceContext& context, const Json& body, std::string_view orderId)
{
    if (const std::string unknown = unknownMember(body, {}); !unknown.empty()) {
        return errorReply(400, "unknown_field", "unknown field: " + unknown);
    }
    const std::string id(orderId);
    if (context.ledger.state().record(id) == nullptr) {
        return unknownOrder(orderId);
    }
    const ReconcileRun run = reconcileOne(context, id);
    Json answer = {{"ok", run.listRead}, {"order", recordJson(*context.ledger.state().record(id))}};
    if (!run.listRead) {
        answer["message"] = "today's orders could not be read: " + run.message;
    }
    return jsonReply(200, answer);
}

}  // namespace zelvo_host
