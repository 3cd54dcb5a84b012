#include "trading_routes.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <optional>

#include "tables.h"
#include "zelvo_kinds.h"

namespace zelvo_host {

namespace {

constexpr size_t maxCodeLength = 16;
constexpr size_t maxOrderIdLength = 64;
constexpr double maxPrice = 1e9;

[[nodiscard]] std::string localTime()
{
    SYSTEMTIME time;
    GetLocalTime(&time);
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u.%03u", time.wYear, time.wMonth, time.wDay,
                  time.wHour, time.wMinute, time.wSecond, time.wMilliseconds);
    return text;
}

// Writes the request's journal line; its sequence number, or -1 when the
// journal could not be written (the request must then not be acted on).
[[nodiscard]] std::int64_t journalRequest(ServiceContext& context, std::string_view route, const Json& request)
{
    const std::int64_t sequence = ++context.journalSequence;
    const Json line = {{"seq", sequence}, {"time", localTime()}, {"event", "request"}, {"route", route}, {"request", request}};
    return context.journal.append(dumpJson(line)) ? sequence : -1;
}

// Writes the answer's journal line, then gives the reply. The request was
// acted on already, so the reply goes out even when the line could not be
// written; it then says so.
[[nodiscard]] HttpReply journalAnswer(ServiceContext& context, std::int64_t sequence, int status, Json answer)
{
    const Json line = {{"seq", sequence}, {"time", localTime()}, {"event", "answer"}, {"status", status}, {"answer", answer}};
    if (!context.journal.append(dumpJson(line))) {
        answer["warning"] = "the answer could not be written to the order journal";
    }
    return jsonReply(status, answer);
}

[[nodiscard]] HttpReply journalUnavailable()
{
    return errorReply(503, "journal_unavailable", "the order journal cannot be written; nothing was done");
}

[[nodiscard]] HttpReply badField(std::string_view message)
{
    return errorReply(400, "bad_field", message);
}

[[nodiscard]] bool isCodeCharacter(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '.';
}

[[nodiscard]] bool isPrintableAscii(char c)
{
    return c > ' ' && c < 0x7F;
}

// A whole number within 1..INT_MAX; a JSON 100.0 is not one.
[[nodiscard]] std::optional<int> positiveInt(const Json& value)
{
    if (!value.is_number_integer()) {
        return std::nullopt;
    }
    if (value.is_number_unsigned()) {
        const auto number = value.get<std::uint64_t>();
        return number >= 1 && number <= INT_MAX ? std::optional<int>(static_cast<int>(number)) : std::nullopt;
    }
    const auto number = value.get<std::int64_t>();
    return number >= 1 && number <= INT_MAX ? std::optional<int>(static_cast<int>(number)) : std::nullopt;
}

struct OrderRequest {
    int kind = -1;
    std::string kindName;
    std::string code;
    double price = 0.0;
    int quantity = 0;
    std::string orderId;  // empty when the caller gave none

    [[nodiscard]] Json toJson() const
    {
        Json fields = {{"kind", kindName}, {"code", code}, {"price", price}, {"quantity", quantity}};
        if (!orderId.empty()) {
            fields["order_id"] = orderId;
        }
        return fields;
    }
};

// Reads and checks the order's fields; an error text when one is wrong.
[[nodiscard]] std::string readOrder(const Json& body, OrderRequest& order)
{
    if (const std::string unknown = unknownMember(body, {"kind", "code", "price", "quantity", "order_id"}); !unknown.empty()) {
        return "unknown field: " + unknown;
    }
    const Json kind = body.value("kind", Json());
    const std::optional<zelvo::OrderKind> found =
        kind.is_string() ? zelvo::kindNamed(zelvo::orderKindNames, kind.get<std::string>()) : std::nullopt;
    if (!found) {
        return "kind must be one of buy, sell, margin-buy, short-sell, buy-to-return, sell-to-repay, return-in-kind";
    }
    order.kind = static_cast<int>(*found);
    order.kindName = kind.get<std::string>();
    const Json code = body.value("code", Json());
    if (!code.is_string() || code.get<std::string>().empty() || code.get<std::string>().size() > maxCodeLength ||
        !std::all_of(code.get_ref<const std::string&>().begin(), code.get_ref<const std::string&>().end(), isCodeCharacter)) {
        return "code must be 1-16 letters, digits or dots";
    }
    order.code = code.get<std::string>();
    const Json price = body.value("price", Json());
    if (!price.is_number() || !std::isfinite(price.get<double>()) || price.get<double>() < 0.0 ||
        price.get<double>() > maxPrice) {
        return "price must be a number from 0 to 1e9";
    }
    order.price = price.get<double>();
    const std::optional<int> quantity = positiveInt(body.value("quantity", Json()));
    if (!quantity) {
        return "quantity must be a whole number from 1 to 2147483647";
    }
    order.quantity = *quantity;
    if (body.contains("order_id")) {
        const Json& id = body["order_id"];
        if (!id.is_string() || id.get<std::string>().empty() || id.get<std::string>().size() > maxOrderIdLength ||
            !std::all_of(id.get_ref<const std::string&>().begin(), id.get_ref<const std::string&>().end(), isPrintableAscii)) {
            return "order_id must be 1-64 printable ASCII characters without spaces";
        }
        order.orderId = id.get<std::string>();
    }
    return {};
}

// A retry of an order id already used: the first answer again, marked as
// such; or a conflict when the id came with a different order.
[[nodiscard]] HttpReply answerAgain(ServiceContext& context, const OrderRequest& order, const RememberedOrder& first)
{
    const Json request = order.toJson();
    const std::int64_t sequence = journalRequest(context, "orders", request);
    if (sequence < 0) {
        return journalUnavailable();
    }
    const Json firstAnswer = Json::parse(first.answer, nullptr, false);
    if (dumpJson(request) != first.request) {
        Json conflict = errorBody("order_id_reused", "this order_id was used for a different order; nothing was placed");
        conflict["first_answer"] = firstAnswer;
        return journalAnswer(context, sequence, 409, conflict);
    }
    Json answer = firstAnswer;
    answer["replayed"] = true;
    return journalAnswer(context, sequence, 200, answer);
}

[[nodiscard]] const char* outcomeOf(const OrderAnswer& answer)
{
    if (answer.contract >= 0) {
        return "placed";
    }
    return answer.outcomeUnknown ? "unknown" : "refused";
}

}  // namespace

HttpReply placeOrder(ServiceContext& context, const Json& body)
{
    OrderRequest order;
    if (const std::string problem = readOrder(body, order); !problem.empty()) {
        return badField(problem);
    }
    if (!order.orderId.empty()) {
        if (const auto first = context.orders.find(order.orderId); first != context.orders.end()) {
            return answerAgain(context, order, first->second);
        }
    }
    const Json request = order.toJson();
    const std::int64_t sequence = journalRequest(context, "orders", request);
    if (sequence < 0) {
        return journalUnavailable();
    }
    // Codes are ASCII, so their GBK text is the same bytes.
    const OrderAnswer placed = context.library.sendOrder(order.kind, order.code, order.price, order.quantity);
    Json answer = request;
    answer["ok"] = placed.contract >= 0;
    answer["outcome"] = outcomeOf(placed);
    answer["contract"] = placed.contract;
    answer["message"] = placed.message;
    if (!order.orderId.empty()) {
        context.orders[order.orderId] = {dumpJson(request), dumpJson(answer)};
    }
    return journalAnswer(context, sequence, 200, answer);
}

HttpReply cancelOrder(ServiceContext& context, const Json& body)
{
    if (const std::string unknown = unknownMember(body, {"number"}); !unknown.empty()) {
        return badField("unknown field: " + unknown);
    }
    const std::optional<int> number = positiveInt(body.value("number", Json()));
    if (!number) {
        return badField("number must be the order number, a whole number from 1 to 2147483647");
    }
    const Json request = {{"number", *number}};
    const std::int64_t sequence = journalRequest(context, "cancel", request);
    if (sequence < 0) {
        return journalUnavailable();
    }
    const TextAnswer cancelled = context.library.cancelOrder(*number);
    return journalAnswer(context, sequence, 200, {{"ok", cancelled.ok}, {"number", *number}, {"message", cancelled.message}});
}

HttpReply cancelAll(ServiceContext& context, const Json& body)
{
    if (const std::string unknown = unknownMember(body, {"side"}); !unknown.empty()) {
        return badField("unknown field: " + unknown);
    }
    const Json sideField = body.value("side", Json());
    Side side = Side::Any;
    if (sideField == "buy") {
        side = Side::Buy;
    } else if (sideField == "sell") {
        side = Side::Sell;
    } else if (!sideField.is_null()) {
        return badField("side must be buy or sell, or left out for both");
    }
    const Json request = sideField.is_null() ? Json::object() : Json{{"side", sideField}};
    const std::int64_t sequence = journalRequest(context, "cancel-all", request);
    if (sequence < 0) {
        return journalUnavailable();
    }
    Json answer = {{"ok", false}, {"side", sideField.is_null() ? Json("any") : sideField}, {"results", Json::array()}};
    const QueryAnswer list = context.library.query(static_cast<int>(zelvo::QueryKind::CancelList));
    if (list.result.empty()) {
        answer["message"] = list.message;
        return journalAnswer(context, sequence, 200, answer);
    }
    const CancelSelection selection = ordersToCancel(parseTable(list.result), side);
    if (!selection.problem.empty()) {
        answer["message"] = selection.problem;
        return journalAnswer(context, sequence, 200, answer);
    }
    size_t accepted = 0;
    for (const int number : selection.numbers) {
        const TextAnswer cancelled = context.library.cancelOrder(number);
        accepted += cancelled.ok ? 1 : 0;
        answer["results"].push_back({{"number", number}, {"ok", cancelled.ok}, {"message", cancelled.message}});
    }
    answer["ok"] = accepted == selection.numbers.size();
    answer["message"] = "cancelled " + std::to_string(accepted) + " of " + std::to_string(selection.numbers.size()) + " orders";
    return journalAnswer(context, sequence, 200, answer);
}

}  // namespace zelvo_host
