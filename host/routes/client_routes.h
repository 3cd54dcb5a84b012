// The routes of the client's session and of what the service shows: the
// status, the login and the logout, a query page, the event stream and the
// service's description. Each is named after its route.
#pragma once
#include "routes/route_context.h"

namespace zelvo_host {

[[nodiscard]] HttpReply getStatus(RouteContext& context, const RouteCall& call);
[[nodiscard]] HttpReply postLogin(RouteContext& context, const RouteCall& call);
[[nodiscard]] HttpReply postLogout(RouteContext& context, const RouteCall& call);
[[nodiscard]] HttpReply getQuery(RouteContext& context, const RouteCall& call);
// The event stream's reply: its first text is what a reconnecting listener
// missed; the HTTP layer keeps the connection as a listener after it.
[[nodiscard]] HttpReply getEvents(RouteContext& context, const RouteCall& call);
[[nodiscard]] HttpReply getDescription(RouteContext& context, const RouteCall& call);

}  // namespace zelvo_host
