#include "routes/route_table.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "routes/access.h"
#include "routes/client_routes.h"
#include "routes/json_replies.h"
#include "routes/page_routes.h"
#include "routes/record_routes.h"
#include "routes/safety_routes.h"
#include "routes/trading_routes.h"

namespace zelvo_host {

namespace {

// A route's path is `head`, then a name when `named`, then `tail`.
struct Route {
    const char* method;
    std::string_view head;
    bool named;
    std::string_view tail;
    RouteHandler handle;
    Access access;
};

constexpr Route routes[] = {
    {"GET", "/v1/status", false, "", getStatus, Access::Page},
    {"POST", "/v1/login", false, "", postLogin, Access::Token},
    {"POST", "/v1/logout", false, "", postLogout, Access::Token},
    {"GET", "/v1/query/", true, "", getQuery, Access::Page},
    {"POST", "/v1/orders", false, "", postOrders, Access::Token},
    {"GET", "/v1/orders", false, "", getOrders, Access::Page},
    {"GET", "/v1/orders/", true, "", getOrder, Access::Page},
    {"POST", "/v1/orders/", true, "/reconcile", postReconcile, Access::Token},
    {"POST", "/v1/cancel", false, "", postCancel, Access::Token},
    {"POST", "/v1/cancel-all", false, "", postCancelAll, Access::Token},
    {"GET", "/v1/limits", false, "", getLimits, Access::Page},
    {"PUT", "/v1/limits", false, "", putLimits, Access::Token},
    {"POST", "/v1/halt", false, "", postHalt, Access::Page},
    {"POST", "/v1/resume", false, "", postResume, Access::Page},
    {"POST", "/v1/cancel-after", false, "", postCancelAfter, Access::Token},
    {"GET", "/v1/openapi.json", false, "", getDescription, Access::Token},
    {"POST", "/v1/login-link", false, "", postLoginLink, Access::Token},
    {"GET", "/v1/events", false, "", getEvents, Access::Page},
    {"GET", "/", false, "", getPage, Access::Open},
    {"GET", "/page.css", false, "", getPageCss, Access::Open},
    {"GET", "/page.js", false, "", getPageJs, Access::Open},
    {"GET", "/login", false, "", getLogin, Access::Open},
};

[[nodiscard]] int hexDigit(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

// The text of a path segment with its %XX escapes decoded; none when an
// escape is broken or the text is empty.
[[nodiscard]] std::optional<std::string> percentDecoded(std::string_view segment)
{
    std::string text;
    for (size_t index = 0; index < segment.size(); ++index) {
        if (segment[index] != '%') {
            text += segment[index];
            continue;
        }
        const int high = index + 2 < segment.size() ? hexDigit(segment[index + 1]) : -1;
        const int low = index + 2 < segment.size() ? hexDigit(segment[index + 2]) : -1;
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        text += static_cast<char>(high * 16 + low);
        index += 2;
    }
    return text.empty() ? std::nullopt : std::optional<std::string>(text);
}

// The route's name in `path` (empty for a route without one); none when the
// path is not the route's.
[[nodiscard]] std::optional<std::string> matchRoute(const Route& route, std::string_view path)
{
    if (!route.named) {
        return path == route.head ? std::optional<std::string>(std::string()) : std::nullopt;
    }
    if (path.size() <= route.head.size() + route.tail.size() || path.substr(0, route.head.size()) != route.head ||
        path.substr(path.size() - route.tail.size()) != route.tail) {
        return std::nullopt;
    }
    const std::string_view name = path.substr(route.head.size(), path.size() - route.head.size() - route.tail.size());
    return name.find('/') == std::string_view::npos ? percentDecoded(name) : std::nullopt;
}

[[nodiscard]] HttpReply timed(HttpReply reply, double exportMillis)
{
    char timing[64];
    std::snprintf(timing, sizeof timing, "export;dur=%.3f", exportMillis);
    reply.headers.emplace_back("Server-Timing", timing);
    return reply;
}

// A reply of fixed JSON text for the noexcept paths. The reply is made
// without allocating and the text copied in after: if that copy fails for
// want of memory the answer is the bare status, never an exception.
[[nodiscard]] HttpReply fixedReply(int status, const char* json) noexcept
{
    HttpReply reply{status, {}, {}};
    try {
        reply.body = json;
    } catch (...) {
        // The status alone says what happened.
    }
    return reply;
}

[[nodiscard]] HttpReply methodNotAllowed(const std::string& allowed)
{
    HttpReply reply = errorReply(405, "method_not_allowed", "this route takes " + allowed);
    reply.headers.emplace_back("Allow", allowed);
    return reply;
}

// Who may ask is checked before anything else, on every path: as the route
// of the request's method and path says; a path no route serves with that
// method (answered 404 or 405) takes the page's cookie, so that it is
// answered as the page would be.
[[nodiscard]] Access accessOf(const HttpRequest& request, std::string_view path)
{
    const auto route = std::find_if(std::begin(routes), std::end(routes), [&](const Route& candidate) {
        return request.method == candidate.method && matchRoute(candidate, path);
    });
    return route == std::end(routes) ? Access::Page : route->access;
}

[[nodiscard]] HttpReply dispatch(RouteContext& context, const HttpRequest& request)
{
    const std::string_view target = request.target;
    const std::string_view path = target.substr(0, target.find('?'));
    if (std::optional<HttpReply> refused = accessRefusal(context, request, accessOf(request, path))) {
        return std::move(*refused);
    }
    std::string allowed;
    for (const Route& route : routes) {
        const std::optional<std::string> name = matchRoute(route, path);
        if (!name) {
            continue;
        }
        if (request.method != route.method) {
            if (allowed.find(route.method) == std::string::npos) {
                allowed += (allowed.empty() ? "" : ", ") + std::string(route.method);
            }
            continue;
        }
        Json body = Json::object();
        if (std::string(route.method) != "GET" && !request.body.empty()) {
            bool tooDeep = false;
            body = parseBounded(request.body, tooDeep);
            if (tooDeep) {
                return errorReply(400, "bad_json", "the body nests arrays and objects deeper than " +
                                                       std::to_string(maxJsonDepth) + " levels");
            }
            if (body.is_discarded() || !body.is_object()) {
                return errorReply(400, "bad_json", "the body must be a JSON object");
            }
        }
        context.dll.resetExportMillis();
        HttpReply reply = route.handle(context, RouteCall{request, body, *name});
        return timed(std::move(reply), context.dll.exportMillis());
    }
    if (!allowed.empty()) {
        return methodNotAllowed(allowed);
    }
    return errorReply(404, "not_found", "no such route");
}

}  // namespace

HttpReply handleRequest(RouteContext& context, const HttpRequest& request) noexcept
{
    // Built before the request is handled: the most likely failure is an
    // allocation, and a second one inside the catch would end the trading
    // client's process. Moving the reply out allocates nothing.
    HttpReply failure = fixedReply(500, R"({"ok":false,"error":"internal","message":"internal error"})");
    try {
        return dispatch(context, request);
    } catch (...) {
        return failure;
    }
}

HttpReply protocolErrorReply(int status) noexcept
{
    switch (status) {
    case 413: return fixedReply(413, R"({"ok":false,"error":"payload_too_large","message":"the body exceeds 64 KiB"})");
    case 431: return fixedReply(431, R"({"ok":false,"error":"header_too_large","message":"the request header is too large"})");
    case 503: return fixedReply(503, R"({"ok":false,"error":"busy","message":"the service has as many connections open as it serves; try again"})");
    default: return fixedReply(400, R"({"ok":false,"error":"bad_request","message":"malformed HTTP request"})");
    }
}

}  // namespace zelvo_host
