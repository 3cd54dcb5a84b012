#include "routes/order_fields.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <string>

#include "rules/risk_limits.h"
#include "zelvo_kinds.h"

namespace zelvo_host {

namespace {

constexpr size_t maxOrderIdLength = 64;
constexpr double maxPrice = 1e9;

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

}  // namespace

std::optional<FieldProblem> readOrderFields(const Json& body, OrderRequest& order)
{
    if (std::optional<FieldProblem> unknown = unknownField(body, {"kind", "code", "price", "quantity", "order_id"})) {
        return unknown;
    }
    const Json kind = body.value("kind", Json());
    const std::optional<zelvo::OrderKind> found =
        kind.is_string() ? zelvo::kindNamed(zelvo::orderKindNames, kind.get<std::string>()) : std::nullopt;
    if (!found) {
        return badField("kind must be one of buy, sell, margin-buy, short-sell, buy-to-return, sell-to-repay, return-in-kind");
    }
    order.kind = *found;
    const Json code = body.value("code", Json());
    if (!code.is_string() || !isSecurityCode(code.get<std::string>())) {
        return badField("code must be 1-16 letters, digits or dots");
    }
    order.code = code.get<std::string>();
    const Json price = body.value("price", Json());
    if (!price.is_number() || !std::isfinite(price.get<double>()) || price.get<double>() < 0.0 ||
        price.get<double>() > maxPrice) {
        return badField("price must be a number from 0 to 1e9");
    }
    order.price = price.get<double>();
    const std::optional<std::int64_t> quantity = wholeWithin(body.value("quantity", Json()), 1, INT_MAX);
    if (!quantity) {
        return badField("quantity must be a whole number from 1 to 2147483647");
    }
    order.quantity = static_cast<int>(*quantity);
    if (body.contains("order_id")) {
        if (!isOrderId(body["order_id"])) {
            return badField("order_id must be 1-64 printable ASCII characters without spaces");
        }
        order.orderId = body["order_id"].get<std::string>();
    }
    return std::nullopt;
}

}  // namespace zelvo_host
