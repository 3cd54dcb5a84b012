#include "routes.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "gbk_text.h"
#include "json_replies.h"
#include "openapi_document.h"
#include "secrets.h"
#include "tables.h"
#include "trading_routes.h"
#include "zelvo_kinds.h"
#include "zelvo_version.h"

namespace zelvo_host {

namespace {

constexpr char serviceVersion[] = ZELVO_VERSION_TEXT;
constexpr std::string_view queryPrefix = "/v1/query/";

using RouteHandler = HttpReply (*)(ServiceContext&, const Json&, std::string_view pathRest);

struct Route {
    const char* method;
    std::string_view path;
    bool prefix;  // the path is followed by a name
    RouteHandler handle;
};

HttpReply status(ServiceContext& context, const Json&, std::string_view)
{
    const std::string title = context.library.title();
    return jsonReply(200, {{"ok", true},
                           {"attached", !title.empty()},
                           {"title", title},
                           {"broker", context.library.broker()},
                           {"account", context.library.account()},
                           {"service", {{"version", serviceVersion}, {"port", context.port}, {"pid", GetCurrentProcessId()}}}});
}

HttpReply login(ServiceContext& context, const Json& body, std::string_view)
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
    const TextAnswer answer = context.library.login(*gbkPassword);
    return jsonReply(200, {{"ok", answer.ok},
                           {"message", answer.message},
                           {"title", context.library.title()},
                           {"broker", context.library.broker()},
                           {"account", context.library.account()}});
}

HttpReply logout(ServiceContext& context, const Json& body, std::string_view)
{
    if (const std::string unknown = unknownMember(body, {}); !unknown.empty()) {
        return errorReply(400, "unknown_field", "unknown field: " + unknown);
    }
    context.library.logout();
    return jsonReply(200, {{"ok", true}});
}

HttpReply query(ServiceContext& context, const Json&, std::string_view name)
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
    return jsonReply(200, {{"ok", !answer.result.empty()},
                           {"name", std::string(name)},
                           {"kind", number},
                           {"columns", table.columns},
                           {"rows", table.rows},
                           {"table", answer.result},
                           {"message", answer.message}});
}

HttpReply orders(ServiceContext& context, const Json& body, std::string_view)
{
    return placeOrder(context, body);
}

HttpReply cancel(ServiceContext& context, const Json& body, std::string_view)
{
    return cancelOrder(context, body);
}

HttpReply cancelEverything(ServiceContext& context, const Json& body, std::string_view)
{
    return cancelAll(context, body);
}

HttpReply description(ServiceContext&, const Json&, std::string_view)
{
    return {200, std::string(openapiDocument()), {}};
}

constexpr Route routes[] = {
    {"GET", "/v1/status", false, status},
    {"POST", "/v1/login", false, login},
    {"POST", "/v1/logout", false, logout},
    {"GET", queryPrefix, true, query},
    {"POST", "/v1/orders", false, orders},
    {"POST", "/v1/cancel", false, cancel},
    {"POST", "/v1/cancel-all", false, cancelEverything},
    {"GET", "/v1/openapi.json", false, description},
};

[[nodiscard]] bool pathMatches(const Route& route, std::string_view path)
{
    if (!route.prefix) {
        return path == route.path;
    }
    return path.size() > route.path.size() && path.substr(0, route.path.size()) == route.path;
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

[[nodiscard]] HttpReply dispatch(ServiceContext& context, const HttpRequest& request)
{
    if (!tokensEqual(context.token, bearerToken(request.authorization))) {
        HttpReply reply = errorReply(401, "unauthorized", "a valid bearer token is required");
        reply.headers.emplace_back("WWW-Authenticate", "Bearer");
        return reply;
    }
    const std::string_view target = request.target;
    const std::string_view path = target.substr(0, target.find('?'));
    std::string allowed;
    for (const Route& route : routes) {
        if (!pathMatches(route, path)) {
            continue;
        }
        if (request.method != route.method) {
            allowed = route.method;
            continue;
        }
        Json body = Json::object();
        if (std::string(route.method) == "POST" && !request.body.empty()) {
            body = Json::parse(request.body, nullptr, false);
            if (body.is_discarded() || !body.is_object()) {
                return errorReply(400, "bad_json", "the body must be a JSON object");
            }
        }
        context.library.resetExportMillis();
        HttpReply reply = route.handle(context, body, path.substr(route.prefix ? route.path.size() : path.size()));
        return timed(std::move(reply), context.library.exportMillis());
    }
    if (!allowed.empty()) {
        HttpReply reply = errorReply(405, "method_not_allowed", "this route takes " + allowed);
        reply.headers.emplace_back("Allow", allowed);
        return reply;
    }
    return errorReply(404, "not_found", "no such route");
}

}  // namespace

std::string dumpJson(const Json& body)
{
    return body.dump(-1, ' ', false, Json::error_handler_t::replace);
}

HttpReply jsonReply(int status, const Json& body)
{
    return {status, dumpJson(body), {}};
}

Json errorBody(std::string_view code, std::string_view message)
{
    return {{"ok", false}, {"error", code}, {"message", message}};
}

HttpReply errorReply(int status, std::string_view code, std::string_view message)
{
    return jsonReply(status, errorBody(code, message));
}

std::string unknownMember(const Json& body, std::initializer_list<std::string_view> known)
{
    for (const auto& member : body.items()) {
        if (std::find(known.begin(), known.end(), member.key()) == known.end()) {
            return member.key();
        }
    }
    return {};
}

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
    default: return fixedReply(400, R"({"ok":false,"error":"bad_request","message":"malformed HTTP request"})");
    }
}

}  // namespace zelvo_host
