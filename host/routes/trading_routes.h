// The routes that change the account: place an order, cancel one, cancel
// all. Each request is written to the journal before zelvo.dll is called,
// and its answer before the reply goes out. An order is checked against the
// halt and the risk limits first, and the unknown outcomes of today are
// reconciled before it is sent.
#pragma once
#include "routes/json_replies.h"
#include "service_context.h"

namespace zelvo_host {

[[nodiscard]] HttpReply placeOrder(ServiceContext& context, const Json& body);
[[nodiscard]] HttpReply cancelOrder(ServiceContext& context, const Json& body);
[[nodiscard]] HttpReply cancelAll(ServiceContext& context, const Json& body);

// The order record as POST /v1/orders answers it: `ok` when placed.
[[nodiscard]] Json orderAnswer(const OrderRecord& record);

// The service's refusal of an order or a cancel for a risk limit (422).
[[nodiscard]] Json riskLimitBody(const RiskRefusal& refusal);

}  // namespace zelvo_host
