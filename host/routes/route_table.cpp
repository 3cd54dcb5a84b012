#include "routes/route_table.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <optional>

#include "gbk_text.h"
#include "desk/client_polls.h"
#include "routes/json_replies.h"
#include "routes/openapi_document.h"
#include "routes/page_routes.h"
#include "routes/record_routes.h"
#include "routes/safety_routes.h"
#include "desk/state_answers.h"
#include "store/secrets.h"
#include "rules/tables.h"
#include "desk/trading_desk.h"
#include "routes/trading_routes.h"
#include "rules/web_guard.h"
#include "zelvo_kinds.h"
#include "zelvo_version.h"

namespace zelvo_host {

namespace {

constexpr char serviceVersion[] = ZELVO_VERSION_TEXT;

// `name` is the path's one named segment (percent-decoded), empty for a
// route without one.
using RouteHandler = HttpReply (*)(ServiceContext&, const Json& body, std::string_view name, const HttpRequest&);

// Who may use a route: anyone who asks for the service's own host (the page
// and its sign-in), or only with the bearer token or the page's cookie.
enum class Access { Open, Credentials };

// A route's path is `head`, then a name when `named`, then `tail`.
struct Route {
    const char* method;
    std::string_view head;
    bool named;
    std::string_view tail;
    RouteHandler handle;
    Access access = Access::Credentials;
};

HttpReply status(ServiceContext& context, const Json&, std::string_view, const HttpRequest&)
{
    const std::string title = context.library.title();
    const TradingState& state = context.ledger.state();
    return jsonReply(200, {{"ok", true},
                           {"attached", !title.empty()},
                           {"title", title},
                           {"broker", context.library.broker()},
                           {"account", context.library.account()},
                           {"halt", haltJson(state.halt())},
                           {"switch", switchJson(state.deadMansSwitch())},
                           {"unknown_orders", state.unknownCount()},
                           {"journal", {{"damaged_lines", context.ledger.damagedLines()}}},
                           {"events", {{"listeners", context.events.listeners()},
                                       {"polls", context.events.polls()},
                                       {"poll_seconds", static_cast<double>(context.events.pollInterval().count()) / 1000.0}}},
                           {"service", {{"version", serviceVersion}, {"port", context.port}, {"pid", GetCurrentProcessId()}}}});
}

HttpReply login(ServiceContext& context, const Json& body, std::string_view, const HttpRequest&)
{
    if (const std::string unknown = unknownMember(body, {"password"}); !unknown.empty()) {
        return errorReply(400, "unknown_field", "unknown field: " + unknown);
    }
    std::string password;
    if (body.contains("password")) {
        if (!body["password"].is_string()) {
            return errorReply(400, "bad_field", "password must be a string");
        }
        password = body["password"].get<std::string>();
    }
    const std::optional<std::string> gbkPassword = zelvo_common::utf8ToGbk(password);
    if (!gbkPassword) {
        return errorReply(400, "bad_field", "password holds characters GBK cannot write");
    }
    const TextAnswer answer = loginAndReconcile(context, *gbkPassword);
    noteClientState(context, answer.ok ? "attached" : clientStateOf(false, answer.message), answer.message);
    return jsonReply(200, {{"ok", answer.ok},
                           {"message", answer.message},
                           {"title", context.library.title()},
                           {"broker", context.library.broker()},
                           {"account", context.library.account()}});
}

HttpReply logout(ServiceContext& context, const Json& body, std::string_view, const HttpRequest&)
{
    if (const std::string unknown = unknownMember(body, {}); !unknown.empty()) {
        return errorReply(400, "unknown_field", "unknown field: " + unknown);
    }
    context.library.logout();
    noteClientState(context, "logged_out", "");
    return jsonReply(200, {{"ok", true}});
}

HttpReply query(ServiceContext& context, const Json&, std::string_view name, const HttpRequest&)
{
    const std::optional<zelvo::QueryKind> kind = zelvo::kindNamed(zelvo::queryKindNames, name);
    if (!kind) {
        std::string known;
        for (const auto& entry : zelvo::queryKindNames) {
            known += (known.empty() ? "" : ", ") + std::string(entry.name);
        }
        return errorReply(404, "unknown_query", "unknown query name; known: " + known);
    }
    const int number = static_cast<int>(*kind);
    const QueryAnswer answer = context.library.query(number);
    const Table table = zelvo::isFundsLine(*kind) ? parseFundsLine(answer.result) : parseTable(answer.result);
    if (*kind == zelvo::QueryKind::TodayOrders || *kind == zelvo::QueryKind::CancelList) {
        rememberListed(context, table);
    }
    return jsonReply(200, {{"ok", !answer.result.empty()},
                           {"name", std::string(name)},
                           {"kind", number},
                           {"columns", table.columns},
                           {"rows", table.rows},
                           {"table", answer.result},
                           {"message", answer.message}});
}

HttpReply orders(ServiceContext& context, const Json& body, std::string_view, const HttpRequest&)
{
    return placeOrder(context, body);
}

HttpReply todaysOrders(ServiceContext& context, const Json&, std::string_view, const HttpRequest&)
{
    return listOrders(context);
}

HttpReply order(ServiceContext& context, const Json&, std::string_view orderId, const HttpRequest&)
{
    return showOrder(context, orderId);
}

HttpReply reconcile(ServiceContext& context, const Json& body, std::string_view orderId, const HttpRequest&)
{
    return reconcileOrder(context, body, orderId);
}

HttpReply cancel(ServiceContext& context, const Json& body, std::string_view, const HttpRequest&)
{
    return cancelOrder(context, body);
}

HttpReply cancelEverything(ServiceContext& context, const Json& body, std::string_view, const HttpRequest&)
{
    return cancelAll(context, body);
}

HttpReply limits(ServiceContext& context, const Json&, std::string_view, const HttpRequest&)
{
    return showLimits(context);
}

HttpReply setLimits(ServiceContext& context, const Json& body, std::string_view, const HttpRequest&)
{
    return changeLimits(context, body);
}

HttpReply halt(ServiceContext& context, const Json& body, std::string_view, const HttpRequest&)
{
    return haltNewOrders(context, body);
}

HttpReply resume(ServiceContext& context, const Json& body, std::string_view, const HttpRequest&)
{
    return resumeOrders(context, body);
}

HttpReply cancelAfter(ServiceContext& context, const Json& body, std::string_view, const HttpRequest&)
{
    return armSwitch(context, body);
}

HttpReply description(ServiceContext&, const Json&, std::string_view, const HttpRequest&)
{
    return {200, std::string(openapiDocument()), {}};
}

HttpReply page(ServiceContext&, const Json&, std::string_view, const HttpRequest&)
{
    return pageFile(PageFile::Html);
}

HttpReply pageStyle(ServiceContext&, const Json&, std::string_view, const HttpRequest&)
{
    return pageFile(PageFile::Css);
}

HttpReply pageScript(ServiceContext&, const Json&, std::string_view, const HttpRequest&)
{
    return pageFile(PageFile::Js);
}

HttpReply signIn(ServiceContext& context, const Json&, std::string_view, const HttpRequest& request)
{
    return exchangeLoginCode(context, request.target);
}

HttpReply loginLink(ServiceContext& context, const Json& body, std::string_view, const HttpRequest&)
{
    if (const std::string unknown = unknownMember(body, {}); !unknown.empty()) {
        return errorReply(400, "unknown_field", "unknown field: " + unknown);
    }
    const std::string link = newLoginLink(context);
    if (link.empty()) {
        return errorReply(503, "no_random", "the system's random source failed; no link was made");
    }
    return jsonReply(200, {{"ok", true}, {"url", link}});
}

// The event stream's reply: its first text is what a reconnecting listener
// missed; the HTTP layer keeps the connection as a listener after it.
HttpReply eventStream(ServiceContext& context, const Json&, std::string_view, const HttpRequest& request)
{
    HttpReply reply{200, context.events.opening(request.lastEventId), {}};
    reply.eventStream = true;
    return reply;
}

constexpr Route routes[] = {
    {"GET", "/v1/status", false, "", status},
    {"POST", "/v1/login", false, "", login},
    {"POST", "/v1/logout", false, "", logout},
    {"GET", "/v1/query/", true, "", query},
    {"POST", "/v1/orders", false, "", orders},
    {"GET", "/v1/orders", false, "", todaysOrders},
    {"GET", "/v1/orders/", true, "", order},
    {"POST", "/v1/orders/", true, "/reconcile", reconcile},
    {"POST", "/v1/cancel", false, "", cancel},
    {"POST", "/v1/cancel-all", false, "", cancelEverything},
    {"GET", "/v1/limits", false, "", limits},
    {"PUT", "/v1/limits", false, "", setLimits},
    {"POST", "/v1/halt", false, "", halt},
    {"POST", "/v1/resume", false, "", resume},
    {"POST", "/v1/cancel-after", false, "", cancelAfter},
    {"GET", "/v1/openapi.json", false, "", description},
    {"POST", "/v1/login-link", false, "", loginLink},
    {"GET", "/v1/events", false, "", eventStream},
    {"GET", "/", false, "", page, Access::Open},
    {"GET", "/page.css", false, "", pageStyle, Access::Open},
    {"GET", "/page.js", false, "", pageScript, Access::Open},
    {"GET", "/login", false, "", signIn, Access::Open},
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

// The token after "Bearer " (the scheme in any case), or empty text.
[[nodiscard]] std::string_view bearerToken(std::string_view authorization)
{
    constexpr std::string_view scheme = "bearer ";
    if (authorization.size() <= scheme.size()) {
        return {};
    }
    for (size_t index = 0; index < scheme.size(); ++index) {
        const char c = authorization[index];
        if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != scheme[index]) {
            return {};
        }
    }
    return authorization.substr(scheme.size());
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

enum class Credentials { None, Bearer, Cookie };

[[nodiscard]] Credentials credentialsOf(ServiceContext& context, const HttpRequest& request)
{
    if (tokensEqual(context.token, bearerToken(request.authorization))) {
        return Credentials::Bearer;
    }
    if (context.web.isSession(cookieValue(request.cookie, sessionCookieName(context.port)))) {
        return Credentials::Cookie;
    }
    return Credentials::None;
}

// Who may ask: a request for another host name than the service's own
// (DNS rebinding), one without credentials, and a cookie's request that
// does not show it comes from the page are refused here. None when allowed.
[[nodiscard]] std::optional<HttpReply> refusal(ServiceContext& context, const HttpRequest& request)
{
    const Credentials credentials = credentialsOf(context, request);
    if (credentials == Credentials::None) {
        HttpReply reply = errorReply(401, "unauthorized", "a valid bearer token is required");
        reply.headers.emplace_back("WWW-Authenticate", "Bearer");
        return reply;
    }
    if (credentials == Credentials::Cookie &&
        !cookieRequestAllowed(request.method, request.origin, request.pageHeader, context.port)) {
        return errorReply(403, "cross_origin", "a request of another origin is refused");
    }
    return std::nullopt;
}

[[nodiscard]] HttpReply dispatch(ServiceContext& context, const HttpRequest& request)
{
    if (!hostAllowed(request.host, context.port)) {
        return errorReply(403, "wrong_host", "the Host header must be the service's own address, " +
                                                 serviceOrigin(context.port).substr(7));
    }
    const std::string_view target = request.target;
    const std::string_view path = target.substr(0, target.find('?'));
    const bool open = std::any_of(std::begin(routes), std::end(routes), [&](const Route& route) {
        return route.access == Access::Open && request.method == route.method && matchRoute(route, path);
    });
    if (!open) {
        if (std::optional<HttpReply> refused = refusal(context, request)) {
            return std::move(*refused);
        }
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
            body = Json::parse(request.body, nullptr, false);
            if (body.is_discarded() || !body.is_object()) {
                return errorReply(400, "bad_json", "the body must be a JSON object");
            }
        }
        context.library.resetExportMillis();
        HttpReply reply = route.handle(context, body, *name, request);
        return timed(std::move(reply), context.library.exportMillis());
    }
    if (!allowed.empty()) {
        return methodNotAllowed(allowed);
    }
    return errorReply(404, "not_found", "no such route");
}

}  // namespace

HttpReply handleRequest(ServiceContext& context, const HttpRequest& request) noexcept
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
