#include "routes/order_fields.h"

#include <algorithm>
#include <climits>
#include <string>

#include "rules/prices.h"
#include "rules/risk_limits.h"
#include "rules/trading_state.h"
#include "zelvo_kinds.h"

namespace zelvo_host {

namespace {

constexpr size_t maxOrderIdLength = 64;

[[nodiscard]] bool isPrintableAscii(char c)
{
    return c > ' ' && c < 0x7F;
}

[[nodiscard]] bool isOrderId(const Json& id)
{
    if (!id.is_string()) {
        return false;
    }
    const std::string& text = id.get_ref<const std::string&>();
    return !text.empty() && text.size() <= maxOrderIdLength && std::all_of(text.begin(), text.end(), isPrintableAscii);
}

// A price that is a number but none the client takes for this code.
[[nodiscard]] FieldProblem badPrice(const std::string& code)
{
    return {"bad_price", "price must be above 0, at most 1e9 and a whole number of ticks: " + code +
                             " trades in ticks of " + tickText(code) + " (at most " +
                             std::to_string(priceDecimals(code)) + " decimals)"};
}

}  // namespace

std::optional<FieldProblem> readOrderFields(const Json& body, OrderRequest& order)
{
    if (std::optional<FieldProblem> unknown = unknownField(body, {"kind", "code", "price", "quantity", "order_id"})) {
        return unknown;
    }
    const Json& kind = memberOf(body, "kind");
    const std::optional<zelvo::OrderKind> found =
        kind.is_string() ? zelvo::kindNamed(zelvo::orderKindNames, kind.get_ref<const std::string&>()) : std::nullopt;
    if (!found) {
        return badField("kind must be one of buy, sell, margin-buy, short-sell, buy-to-return, sell-to-repay, return-in-kind");
    }
    order.kind = *found;
    const Json& code = memberOf(body, "code");
    if (!code.is_string() || !isSecurityCode(code.get_ref<const std::string&>())) {
        return badField("code must be 1-16 letters, digits or dots");
    }
    order.code = code.get<std::string>();
    const Json& price = memberOf(body, "price");
    if (!price.is_number()) {
        return badField("price must be a number");
    }
    const std::optional<double> onTick = priceOnTick(order.code, price.get<double>());
    if (!onTick) {
        return badPrice(order.code);
    }
    order.price = *onTick;
    const std::optional<std::int64_t> quantity = wholeWithin(memberOf(body, "quantity"), 1, INT_MAX);
    if (!quantity) {
        return badField("quantity must be a whole number from 1 to 2147483647");
    }
    order.quantity = static_cast<int>(*quantity);
    if (body.contains("order_id")) {
        const Json& id = memberOf(body, "order_id");
        if (!isOrderId(id)) {
            return badField("order_id must be 1-64 printable ASCII characters without spaces");
        }
        if (id.get_ref<const std::string&>().rfind(serviceOrderIdPrefix, 0) == 0) {
            return badField(std::string("order_id may not begin with \"") + serviceOrderIdPrefix +
                            "\": the service gives such ids to the orders sent without one");
        }
        order.orderId = id.get<std::string>();
    }
    return std::nullopt;
}

}  // namespace zelvo_host
