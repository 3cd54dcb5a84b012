// The routes of the order records: today's records, one record by its
// order_id, and the reconciliation of one whose outcome is unknown.
#pragma once
#include <string_view>

#include "routes/json_replies.h"
#include "service_context.h"

namespace zelvo_host {

[[nodiscard]] HttpReply listOrders(ServiceContext& context);
[[nodiscard]] HttpReply showOrder(ServiceContext& context, std::string_view orderId);
[[nodiscard]] HttpReply reconcileOrder(ServiceContext& context, const Json& body, std::string_view orderId);

}  // namespace zelvo_host
