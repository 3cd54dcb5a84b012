// The body checks of POST /v1/orders (readOrderFields), on arbitrary JSON
// nested no deeper than the route reads: an order is taken only when every
// field is as the route describes it, it is taken as given (its price as the
// client is sent it), and a refusal names what is wrong with the code the
// route answers (a price between the code's ticks: bad_price). The rules are
// written out here again rather than taken from the service: a target that
// judged the route by its own helpers would accept any fault in them.
// Input: the body's text.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
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

// The price as the client is sent it: the code's decimals (3 for codes that
// begin with 1 or 5, else 2) written out and read back.
[[nodiscard]] double writtenPrice(const std::string& code, double price)
{
    const int decimals = !code.empty() && (code[0] == '1' || code[0] == '5') ? 3 : 2;
    char text[512];
    std::snprintf(text, sizeof text, "%.*f", decimals, price);
    return std::strtod(text, nullptr);
}

// A price the client takes for `code` is above 0, at most 1e9, and a whole
// number of the code's ticks, give or take what a double cannot tell apart:
// a price that close to a tick is Good, one well away from every tick Bad,
// and one in between may be taken either way.
enum class PriceCheck { Good, Bad, Either };

[[nodiscard]] PriceCheck priceCheck(const Json& price, const std::string& code)
{
    if (!price.is_number() || !std::isfinite(price.get<double>()) || price.get<double>() <= 0.0 ||
        price.get<double>() > 1e9) {
        return PriceCheck::Bad;
    }
    const long double scale = !code.empty() && (code[0] == '1' || code[0] == '5') ? 1000.0L : 100.0L;
    const long double ticks = static_cast<long double>(price.get<double>()) * scale;
    const long double off = std::fabs(ticks - std::round(ticks));
    if (std::round(ticks) < 1.0L) {
        return PriceCheck::Bad;
    }
    if (off <= std::max(0.5e-9L, ticks * 0.5e-15L)) {
        return PriceCheck::Good;
    }
    return off > std::max(2e-9L, ticks * 2e-15L) ? PriceCheck::Bad : PriceCheck::Either;
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
    return id.get<std::string>().rfind("auto-", 0) != 0;  // the service's own ids
}

[[nodiscard]] const Json& memberOr(const Json& body, const char* name)
{
    static const Json none;
    const auto found = body.find(name);
    return found != body.end() ? *found : none;
}

// The field the route must refuse first, in the order it reads them; empty
// when the body is a good order. `eitherTaken`: a price that may be taken
// either way counts as taken.
[[nodiscard]] std::string firstWrongField(const Json& body, bool eitherTaken)
{
    if (kindIndex(memberOr(body, "kind")) < 0) {
        return "kind";
    }
    if (!isCode(memberOr(body, "code"))) {
        return "code";
    }
    const PriceCheck price = priceCheck(memberOr(body, "price"), memberOr(body, "code").get<std::string>());
    if (price == PriceCheck::Bad || (price == PriceCheck::Either && !eitherTaken)) {
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
    const std::string named = problem.message.substr(0, problem.message.find(' '));
    FUZZ_CHECK(!named.empty() && (named == firstWrongField(body, false) || named == firstWrongField(body, true)));
    // A number that is no price of the code names the code's tick.
    const bool badPrice = named == "price" && memberOr(body, "price").is_number();
    FUZZ_CHECK(problem.error == (badPrice ? "bad_price" : "bad_field"));
    FUZZ_CHECK(!badPrice || problem.message.find("ticks of 0.0") != std::string::npos);
}

void checkTaken(const Json& body, const OrderRequest& order)
{
    for (const auto& member : body.items()) {
        FUZZ_CHECK(isKnownField(member.key()));
    }
    FUZZ_CHECK(firstWrongField(body, true).empty());
    FUZZ_CHECK(static_cast<int>(order.kind) == kindIndex(body["kind"]));
    FUZZ_CHECK(order.code == body["code"].get<std::string>());
    FUZZ_CHECK(order.price == writtenPrice(order.code, body["price"].get<double>()));
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
    bool tooDeep = false;
    const Json body = zelvo_host::parseBounded(std::string_view(reinterpret_cast<const char*>(data), size), tooDeep);
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
