// The body of POST /v1/orders read into an order: the order's kind by name,
// its code, price and quantity, and the caller's order_id when it gave one.
// Built natively too, for its fuzz target (fuzz/fuzz_order_fields.cpp): no
// Windows header.
#pragma once
#include <optional>

#include "rules/json_types.h"
#include "rules/order_records.h"
#include "routes/json_replies.h"

namespace zelvo_host {

// The order the body asks for, or what is wrong with the body (a member
// unknown, missing or wrong).
[[nodiscard]] std::optional<FieldProblem> readOrderFields(const Json& body, OrderRequest& order);

}  // namespace zelvo_host
