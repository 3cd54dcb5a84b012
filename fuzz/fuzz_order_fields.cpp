// The body checks of POST /v1/orders (readOrderFields), on arbitrary JSON:
// an order is taken only when every field is as the route describes it, it
// is taken as given, and a refusal names what is wrong with the code the
// route answers. The rules are written out here again rather than taken
// from the service: a target that judged the route by its own helpers would
// accept any fault in them. Input: the body's text.
#include <climits>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "routes/order_fields.h"

namespace {

using zelvo_host::FieldProblem;
using zelvo_host::Json;
using zelvo_host::OrderRequest;

constexpr std::string_view knownFields[] = {"kind", "code", "price", "quantity", "order_id"};
constexpr std::string_view kindNames[] = {"buy",           "sell",          "margin-buy",    "short-sell",
                                          "buy-to-return", "sell-to-repay", "return-in-kind"};

[[nodiscard]] bool isKnownField(const std::string& name)
{
    for (const std::string_view known : knownFields) {
        if (name == known) {
            return true;
        }
    }
    return false;
}

[[nodiscard]] int kindIndex(const Json& kind)
{
    if (!kind.is_string()) {
        return -1;
    }
    for (int index = 0; index < 7; ++index) {
        if (kind.get<std::string>() == kindNames[index]) {
            return index;
        }
    }
    return -1;
}

[[nodiscard]] bool isCode(const Json& code)
{
    if (!code.is_string() || code.get<std::string>().empty() || code.get<std::string>().size() > 16) {
        return false;
    }
    for (const char c : code.get<std::string>()) {
        const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        if (!letter && !(c >= '0' && c <= '9') && c != '.') {
            return false;
        }
    }
    return true;
}

[[nodiscard]] bool isPrice(const Json& price)
{
    return price.is_number() && std::isfinite(price.get<double>()) && price.get<double>() >= 0.0 && price.get<double>() <= 1e9;
}

[[nodiscard]] bool isQuantity(const Json& quantity)
{
    if (quantity.is_number_unsigned()) {
        return quantity.get<std::uint64_t>() >= 1 && quantity.get<std::uint64_t>() <= INT_MAX;
    }
    return quantity.is_number_integer() && quantity.get<std::int64_t>() >= 1 && quantity.get<std::int64_t>() <= INT_MAX;
}

[[nodiscard]] bool isOrderId(const Json& id)
{
    if (!id.is_string() || id.get<std::string>().empty() || id.get<std::string>().size() > 64) {
        return false;
    }
    for (const char c : id.get<std::string>()) {
        if (static_cast<unsigned char>(c) <= 0x20 || static_cast<unsigned char>(c) >= 0x7F) {
            return false;
        }
    }
    return true;
}

[[nodiscard]] Json memberOr(const Json& body, const char* name)
{
    return body.contains(name) ? body[name] : Json();
}

// The field the route must refuse first, in the order it reads them; empty
// when the body is a good order.
[[nodiscard]] std::string firstWrongField(const Json& body)
{
    if (kindIndex(memberOr(body, "kind")) < 0) {
        return "kind";
    }
    if (!isCode(memberOr(body, "code"))) {
        return "code";
    }
    if (!isPrice(memberOr(body, "price"))) {
        return "price";
    }
    if (!isQuantity(memberOr(body, "quantity"))) {
        return "quantity";
    }
    if (body.contains("order_id") && !isOrderId(body["order_id"])) {
        return "order_id";
    }
    return {};
}

void checkRefusal(const Json& body, const FieldProblem& problem)
{
    for (const auto& member : body.items()) {
        if (!isKnownField(member.key())) {
            // The first unknown member, as the body's members are ordered.
            FUZZ_CHECK(problem.error == "unknown_field");
            FUZZ_CHECK(problem.message == "unknown field: " + member.key());
            return;
        }
    }
    const std::string wrong = firstWrongField(body);
    FUZZ_CHECK(!wrong.empty());
    FUZZ_CHECK(problem.error == "bad_field");
    FUZZ_CHECK(problem.message.compare(0, wrong.size(), wrong) == 0);
}

void checkTaken(const Json& body, const OrderRequest& order)
{
    for (const auto& member : body.items()) {
        FUZZ_CHECK(isKnownField(member.key()));
    }
    FUZZ_CHECK(firstWrongField(body).empty());
    FUZZ_CHECK(static_cast<int>(order.kind) == kindIndex(body["kind"]));
    FUZZ_CHECK(order.code == body["code"].get<std::string>());
    FUZZ_CHECK(order.price == body["price"].get<double>());
    FUZZ_CHECK(order.quantity == body["quantity"].get<std::int64_t>());
    FUZZ_CHECK(order.orderId == (body.contains("order_id") ? body["order_id"].get<std::string>() : std::string()));
    // The order as the journal keeps it reads back as the same order.
    OrderRequest again;
    FUZZ_CHECK(!zelvo_host::readOrderFields(order.toJson(), again));
    FUZZ_CHECK(again.kind == order.kind && again.code == order.code && again.price == order.price &&
               again.quantity == order.quantity && again.orderId == order.orderId);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const Json body = Json::parse(std::string_view(reinterpret_cast<const char*>(data), size), nullptr, false);
    if (body.is_discarded() || !body.is_object()) {
        return 0;  // refused as bad_json before any route reads it
    }
    OrderRequest order;
    if (const std::optional<FieldProblem> problem = zelvo_host::readOrderFields(body, order)) {
        checkRefusal(body, *problem);
    } else {
        checkTaken(body, order);
    }
    return 0;
}
