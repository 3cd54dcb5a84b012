// The routes of the order records: today's records, one record by its
// order_id, and the reconciliation of one whose outcome is unknown. Each is
// named after its route.
#pragma once
#include "routes/route_context.h"

namespace zelvo_host {

[[nodiscard]] HttpReply getOrders(RouteContext& context, const RouteCall& call);
[[nodiscard]] HttpReply getOrder(RouteContext& context, const RouteCall& call);
[[nodiscard]] HttpReply postReconcile(RouteContext& context, const RouteCall& call);

}  // namespace zelvo_host
