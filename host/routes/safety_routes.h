// The routes that keep unattended trading safe: the risk limits (read and
// changed), the halt of new orders and its lifting, and the dead man's
// switch.
#pragma once
#include "routes/json_replies.h"
#include "service_context.h"

namespace zelvo_host {

[[nodiscard]] HttpReply showLimits(ServiceContext& context);
[[nodiscard]] HttpReply changeLimits(ServiceContext& context, const Json& body);
[[nodiscard]] HttpReply haltNewOrders(ServiceContext& context, const Json& body);
[[nodiscard]] HttpReply resumeOrders(ServiceContext& context, const Json& body);
[[nodiscard]] HttpReply armSwitch(ServiceContext& context, const Json& body);

}  // namespace zelvo_host
