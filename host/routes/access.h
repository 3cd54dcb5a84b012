// Who may ask, checked in one place before any route runs: a request whose
// Host is not the service's own 127.0.0.1:PORT is refused (403 wrong_host:
// DNS rebinding); a route that is not open needs the bearer token or the
// operator page's session cookie (401), and a cookie's request must show
// that it comes from the page (403 cross_origin; rules/web_guard.h).
#pragma once
#include <optional>

#include "http/http_types.h"
#include "routes/route_context.h"

namespace zelvo_host {

// Who may use a route: anyone who asks for the service's own host (the page
// and its sign-in), or only with the bearer token or the page's cookie.
enum class Access { Open, Credentials };

// The refusal of `request` to a route of `access`; none when it may ask.
[[nodiscard]] std::optional<HttpReply> accessRefusal(const RouteContext& context, const HttpRequest& request, Access access);

}  // namespace zelvo_host
