// The routes that keep unattended trading safe: the risk limits (read and
// changed), the halt of new orders and its lifting, and the dead man's
// switch. Each reads its body and writes the order desk's outcome
// (desk/order_desk.h); each is named after its route.
#pragma once
#include "routes/route_context.h"

namespace zelvo_host {

[[nodiscard]] HttpReply getLimits(RouteContext& context, const RouteCall& call);
[[nodiscard]] HttpReply putLimits(RouteContext& context, const RouteCall& call);
[[nodiscard]] HttpReply postHalt(RouteContext& context, const RouteCall& call);
[[nodiscard]] HttpReply postResume(RouteContext& context, const RouteCall& call);
[[nodiscard]] HttpReply postCancelAfter(RouteContext& context, const RouteCall& call);

}  // namespace zelvo_host
