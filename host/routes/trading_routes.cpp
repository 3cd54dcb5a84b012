#include "routes/trading_routes.h"

#include <climits>
#include <optional>

#include "desk/order_desk.h"
#include "routes/json_replies.h"
#include "routes/order_fields.h"

namespace zelvo_host {

namespace {

[[nodiscard]] HttpReply deskReply(const DeskAnswer& answer)
{
    return jsonReply(answer.status, answer.body);
}

}  // namespace

HttpReply postOrders(RouteContext& context, const RouteCall& call)
{
    OrderRequest order;
    if (const std::optional<FieldProblem> problem = readOrderFields(call.body, order)) {
        return fieldRefusal(*problem);
    }
    return deskReply(placeOrder(context.ledger, context.dll, order));
}

HttpReply postCancel(RouteContext& context, const RouteCall& call)
{
    if (const std::optional<FieldProblem> unknown = unknownField(call.body, {"number"})) {
        return fieldRefusal(*unknown);
    }
    const std::optional<std::int64_t> number = wholeWithin(memberOf(call.body, "number"), 1, INT_MAX);
    if (!number) {
        return fieldRefusal(badField("number must be the order number, a whole number from 1 to 2147483647"));
    }
    return deskReply(cancelOrder(context.ledger, context.dll, static_cast<int>(*number)));
}

HttpReply postCancelAll(RouteContext& context, const RouteCall& call)
{
    if (const std::optional<FieldProblem> unknown = unknownField(call.body, {"side"})) {
        return fieldRefusal(*unknown);
    }
    const Json& sideField = memberOf(call.body, "side");
    Side side = Side::Any;
    if (sideField == "buy") {
        side = Side::Buy;
    } else if (sideField == "sell") {
        side = Side::Sell;
    } else if (!sideField.is_null()) {
        return fieldRefusal(badField("side must be buy or sell, or left out for both"));
    }
    return deskReply(cancelAll(context.ledger, context.dll, side));
}

}  // namespace zelvo_host
