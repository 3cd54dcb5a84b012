// The routes that change the account: place an order, cancel one, cancel
// all. Each request is written to the order journal before zelvo.dll is
// called, and its answer before the reply goes out.
#pragma once
#include "json_replies.h"
#include "service_context.h"

namespace zelvo_host {

[[nodiscard]] HttpReply placeOrder(ServiceContext& context, const Json& body);
[[nodiscard]] HttpReply cancelOrder(ServiceContext& context, const Json& body);
[[nodiscard]] HttpReply cancelAll(ServiceContext& context, const Json& body);

}  // namespace zelvo_host
