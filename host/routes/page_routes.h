// The operator page (GET /): plain HTML, CSS and JavaScript from
// routes/page/, embedded at build time (cmake/embed_text.cmake), served with
// headers that let it load nothing but its own files and never be framed by
// another site; the exchange of the login code in its address for a session
// cookie; and the making of a new sign-in address. Each route is named after
// its route.
#pragma once
#include <string_view>

#include "routes/route_context.h"

namespace zelvo_host {

[[nodiscard]] std::string_view pageHtml();
[[nodiscard]] std::string_view pageCss();
[[nodiscard]] std::string_view pageJs();

[[nodiscard]] HttpReply getPage(RouteContext& context, const RouteCall& call);
[[nodiscard]] HttpReply getPageCss(RouteContext& context, const RouteCall& call);
[[nodiscard]] HttpReply getPageJs(RouteContext& context, const RouteCall& call);

// GET /login?code=...: spends the login code for a session cookie and sends
// the browser on to the page, whose address then holds no code; 403 with a
// page that says what to do when the code is not good.
[[nodiscard]] HttpReply getLogin(RouteContext& context, const RouteCall& call);

// POST /v1/login-link: the address that signs a browser in, with a new login
// code (the one before is spent); 503 when no code could be made.
[[nodiscard]] HttpReply postLoginLink(RouteContext& context, const RouteCall& call);

}  // namespace zelvo_host
