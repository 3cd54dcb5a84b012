// The routes that change the account: place an order, cancel one, cancel
// all. Each reads its body and writes the order desk's answer
// (desk/order_desk.h), which journals the request, calls zelvo.dll and
// journals the answer. Each is named after its route.
#pragma once
#include "routes/route_context.h"

namespace zelvo_host {

[[nodiscard]] HttpReply postOrders(RouteContext& context, const RouteCall& call);
[[nodiscard]] HttpReply postCancel(RouteContext& context, const RouteCall& call);
[[nodiscard]] HttpReply postCancelAll(RouteContext& context, const RouteCall& call);

}  // namespace zelvo_host
