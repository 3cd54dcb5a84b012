#include "routes/trading_routes.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <optional>

#include "store/clock.h"
#include "desk/state_answers.h"
#include "desk/trading_desk.h"
#include "zelvo_kinds.h"

namespace zelvo_host {

namespace {

constexpr size_t maxOrderIdLength = 64;
constexpr double maxPrice = 1e9;

// Writes the answer's journal line, then gives the reply. The request was
// acted on already, so the reply goes out even when the line could not be
// written; it then says so.
[[nodiscard]] HttpReply journalAnswer(ServiceContext& context, std::int64_t sequence, int status, Json answer)
{
    if (!context.ledger.commitAnswer(sequence, events::answer(status, answer))) {
        answer["warning"] = "the answer could not be written to the journal";
    }
    return jsonReply(status, answer);
}

[[nodiscard]] HttpReply journalUnavailable()
{
    return errorReply(503, "journal_unavailable", "the journal cannot be written; nothing was done");
}

[[nodiscard]] HttpReply badField(std::string_view message)
{
    return errorReply(400, "bad_field", message);
}

[[nodiscard]] bool isPrintableAscii(char c)
{
    return c > ' ' && c < 0x7F;
}

[[nodiscard]] std::optional<int> positiveInt(const Json& value)
{
    const std::optional<std::int64_t> number = wholeWithin(value, 1, INT_MAX);
    return number ? std::optional<int>(static_cast<int>(*number)) : std::nullopt;
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
    if (!code.is_string() || !isSecurityCode(code.get<std::string>())) {
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

// An order the service answers itself: a repeat, a conflict, a refusal. Its
// request and answer are journalled (nothing is sent whether or not they
// could be written).
[[nodiscard]] HttpReply answerOrderItself(ServiceContext& context, const OrderRequest& order, int status, Json answer)
{
    const std::int64_t sequence = context.ledger.commit(events::orderRequest(order.toJson(), order.orderId, false));
    if (sequence < 0) {
        return jsonReply(status, answer);
    }
    return journalAnswer(context, sequence, status, std::move(answer));
}

// A repeat of an order id already used: the order's record, marked as such;
// or a conflict when the id came with a different order.
[[nodiscard]] HttpReply answerAgain(ServiceContext& context, const OrderRequest& order, const OrderRecord& first)
{
    if (dumpJson(order.toJson()) != dumpJson(first.request())) {
        Json conflict = errorBody("order_id_reused", "this order_id was used for a different order; nothing was placed");
        conflict["first_answer"] = orderAnswer(first);
        return answerOrderItself(context, order, 409, conflict);
    }
    Json answer = orderAnswer(first);
    answer["replayed"] = true;
    return answerOrderItself(context, order, 200, answer);
}

[[nodiscard]] Json haltedBody(const HaltState& halt)
{
    Json body = errorBody("halted", "new orders are halted (" + halt.reason + "); nothing was sent to the client");
    body["halt"] = haltJson(halt);
    return body;
}

[[nodiscard]] const char* outcomeOf(const OrderAnswer& answer)
{
    if (answer.contract >= 0) {
        return "placed";
    }
    return answer.outcomeUnknown ? "unknown" : "refused";
}

// Sends the order to zelvo.dll with its record written first and its
// answer after.
[[nodiscard]] HttpReply sendOrder(ServiceContext& context, const OrderRequest& order)
{
    const std::string orderId =
        order.orderId.empty() ? serviceOrderId(now().date(), context.ledger.state().nextSeq()) : order.orderId;
    const std::int64_t sequence = context.ledger.commit(events::orderRequest(order.toJson(), orderId, true));
    if (sequence < 0) {
        return journalUnavailable();
    }
    // Codes are ASCII, so their GBK text is the same bytes.
    const OrderAnswer placed = context.library.sendOrder(order.kind, order.code, order.price, order.quantity);
    Json answer = order.toJson();
    answer["order_id"] = orderId;
    answer["ok"] = placed.contract >= 0;
    answer["outcome"] = outcomeOf(placed);
    answer["contract"] = placed.contract;
    answer["message"] = placed.message;
    const bool written = context.ledger.commitAnswer(sequence, events::answer(200, answer));
    Json reply = orderAnswer(*context.ledger.state().record(orderId));
    if (!written) {
        reply["warning"] = "the answer could not be written to the journal";
    }
    return jsonReply(200, reply);
}

}  // namespace

Json orderAnswer(const OrderRecord& record)
{
    Json answer = recordJson(record);
    answer["ok"] = record.outcome == Outcome::Placed;
    return answer;
}

Json riskLimitBody(const RiskRefusal& refusal)
{
    Json body = errorBody("risk_limit", refusal.message);
    body["limit"] = refusal.limit;
    body["value"] = refusal.value;
    body["current"] = refusal.current;
    return body;
}

HttpReply placeOrder(ServiceContext& context, const Json& body)
{
    OrderRequest order;
    if (const std::string problem = readOrder(body, order); !problem.empty()) {
        return badField(problem);
    }
    const TradingState& state = context.ledger.state();
    if (!order.orderId.empty()) {
        if (const OrderRecord* first = state.record(order.orderId)) {
            return answerAgain(context, order, *first);
        }
    }
    if (state.halt().halted) {
        return answerOrderItself(context, order, 423, haltedBody(state.halt()));
    }
    const Instant at = now();
    if (const std::optional<RiskRefusal> refusal =
            checkOrder(state.limits(), order.code, order.price, order.quantity, state.orderCounts(at.date(), at.epochMs))) {
        return answerOrderItself(context, order, 422, riskLimitBody(*refusal));
    }
    // An unknown order that is out takes its row of today's orders before
    // this one's row can be taken for it.
    (void)reconcileUnknown(context, ReconcileScope::BeforeOrder);
    return sendOrder(context, order);
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
    const std::string code = codeOfOrder(context, *number);
    const TradingState& state = context.ledger.state();
    if (const std::optional<RiskRefusal> refusal =
            code.empty() ? std::nullopt : checkCancel(state.limits(), code, state.cancelsOf(now().date(), code))) {
        const std::int64_t sequence = context.ledger.commit(events::cancelRequest(*number, code, false));
        const Json refused = riskLimitBody(*refusal);
        return sequence < 0 ? jsonReply(422, refused) : journalAnswer(context, sequence, 422, refused);
    }
    const std::int64_t sequence = context.ledger.commit(events::cancelRequest(*number, code, true));
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
    const std::int64_t sequence = context.ledger.commit(events::request("cancel-all", request));
    if (sequence < 0) {
        return journalUnavailable();
    }
    const CancelAllOutcome cancelled = cancelListed(context, side, CancelBy::Caller);
    return journalAnswer(context, sequence, 200,
                         {{"ok", cancelled.ok},
                          {"side", sideField.is_null() ? Json("any") : sideField},
                          {"results", cancelled.results},
                          {"message", cancelled.message}});
}

}  // namespace zelvo_host
