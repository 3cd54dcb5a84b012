// Who may ask, checked in one place before any route runs: a request whose
// Host is not the service's own 127.0.0.1:PORT is refused (403 wrong_host:
// DNS rebinding); a route that is not open needs the bearer token or the
// operator page's session cookie (401); a cookie's request must show that it
// comes from the page (403 cross_origin; rules/web_guard.h), and the cookie
// stands only for what the page does (403 token_required for the rest).
#pragma once
#include <optional>

#include "http/http_types.h"
#include "routes/route_context.h"

namespace zelvo_host {

// Who may use a route: anyone who asks for the service's own host (the page
// and its sign-in); with the bearer token or the page's cookie (what the page
// does: the status, the records, the limits read, the queries, the event
// stream, halt and resume); or with the bearer token only (everything else:
// orders, cancels, logins, the limits changed, the switch, sign-in links).
enum class Access { Open, Page, Token };

// The refusal of `request` to a route of `access`; none when it may ask.
[[nodiscard]] std::optional<HttpReply> accessRefusal(const RouteContext& context, const HttpRequest& request, Access access);

}  // namespace zelvo_host
