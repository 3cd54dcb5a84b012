// The service's routes. A request whose Host is not the service's own
// 127.0.0.1:PORT is refused first (403). The routes under /v1 need the
// bearer token, or the operator page's session cookie, whose requests must
// also come from the page (web_guard.h); a request that is refused (401,
// 403, 404, 405, 400, 409, 413) changes nothing.
//
//   GET  /v1/status               attached, title, broker, account, the halt,
//                                 the dead man's switch, unknown outcomes
//   POST /v1/login                {"password": "..."} (optional)
//   POST /v1/logout
//   GET  /v1/query/NAME           funds, usd-funds, hkd-funds, positions, orders,
//                                 trades, margin-debt, short-debt, shortable,
//                                 cancel-list, currencies, shareholders
//   POST /v1/orders               {"kind", "code", "price", "quantity", "order_id"?}
//   GET  /v1/orders               today's order records
//   GET  /v1/orders/ID            one order record
//   POST /v1/orders/ID/reconcile  reconciles an unknown outcome with today's orders
//   POST /v1/cancel               {"number"}
//   POST /v1/cancel-all           {"side": "buy" | "sell"} (optional)
//   GET  /v1/limits               the risk limits and today's counts
//   PUT  /v1/limits               {limit: value, ...}: changes those given
//   POST /v1/halt                 {"cancel_all"?, "reason"?}: refuses new orders
//   POST /v1/resume               lifts the halt
//   POST /v1/cancel-after         {"seconds"}: arms (0 disarms) the dead man's switch
//   GET  /v1/openapi.json         this list with every body and answer (routes/openapi.json)
//   GET  /v1/events               the event stream (Server-Sent Events; Last-Event-ID resumes)
//   POST /v1/login-link           a new one-time address that signs a browser in to the page
//   GET  /, /page.css, /page.js   the operator page (routes/page/), without credentials
//   GET  /login?code=CODE         spends the login code for the session cookie
//
// Answers are JSON objects with "ok"; refusals add "error" (a code) and
// "message" (a body's member unknown: "unknown_field"; missing or wrong:
// "bad_field"). The client's own refusals (an order it rejected, "未登录", ...)
// are answers with status 200 and "ok": false; the service's (a halt 423, a
// risk limit 422) reach nothing of the client.
#pragma once
#include "http/http_types.h"
#include "routes/route_context.h"

namespace zelvo_host {

// Checks who asks (routes/access.h), finds the route, reads the body and
// runs the route's handler. Never throws: an internal failure answers 500.
[[nodiscard]] HttpReply handleRequest(RouteContext& context, const HttpRequest& request) noexcept;

// The JSON reply to a request the HTTP layer refused before the routes.
[[nodiscard]] HttpReply protocolErrorReply(int status) noexcept;

}  // namespace zelvo_host
