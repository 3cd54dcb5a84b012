// The record of each order the service sends to the client: what was asked,
// when, and what became of it, with the last reconciliation of an outcome
// that was unknown. No Windows header.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "rules/json_types.h"
#include "zelvo_kinds.h"

namespace zelvo_host {

enum class Outcome { Placed, Refused, Unknown, NotFound };

[[nodiscard]] const char* outcomeName(Outcome outcome);
[[nodiscard]] std::optional<Outcome> outcomeNamed(const std::string& name);

struct OrderRecord {
    std::string orderId;
    bool callerId = false;  // the caller gave the id (else the service made it up)
    std::string kind;       // the order kind's name, e.g. "buy"
    std::string code;
    double price = 0.0;
    int quantity = 0;
    std::int64_t seq = 0;      // the journal sequence number of its request
    std::int64_t sentMs = 0;   // when it was handed to zelvo.dll (ms since 1970)
    std::int64_t sentSteadyMs = 0;  // the same on the process's steady clock (TradingState's ClockPair)
    std::string time;          // the same, local time
    Outcome outcome = Outcome::Unknown;
    int contract = -1;         // the client's contract number once placed
    std::string message;       // the client's or the library's answer
    // The last reconciliation: when, what it found, and the rows that could
    // be this order when more than one could.
    std::string reconciledAt;
    std::string note;
    Json candidates = Json::array();
    bool ambiguous = false;

    [[nodiscard]] std::string date() const { return time.substr(0, 10); }
    // The order's fields as the caller sent them.
    [[nodiscard]] Json request() const;
};

// An order as a caller asks for it, its fields read and checked
// (routes/order_fields.h).
struct OrderRequest {
    zelvo::OrderKind kind = zelvo::OrderKind::Buy;
    std::string code;
    double price = 0.0;
    int quantity = 0;
    std::string orderId;  // empty when the caller gave none

    // The fields as the caller sent them, as the journal keeps them.
    [[nodiscard]] Json toJson() const;
};

[[nodiscard]] std::string_view orderKindName(zelvo::OrderKind kind);

// The record as the routes answer it.
[[nodiscard]] Json recordJson(const OrderRecord& record);

}  // namespace zelvo_host
