#include "routes/client_routes.h"

#include <windows.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "desk/state_answers.h"
#include "desk/trading_desk.h"
#include "gbk_text.h"
#include "routes/json_replies.h"
#include "routes/openapi_document.h"
#include "zelvo_kinds.h"
#include "zelvo_version.h"

namespace zelvo_host {

namespace {

constexpr char serviceVersion[] = ZELVO_VERSION_TEXT;

[[nodiscard]] std::string knownQueryNames()
{
    std::string known;
    for (const auto& entry : zelvo::queryKindNames) {
        known += (known.empty() ? "" : ", ") + std::string(entry.name);
    }
    return known;
}

// What the start read of the journal: its lines (those a snapshot stood
// for among them), how long that took, and the damaged lines (the first few
// by number).
[[nodiscard]] Json journalJson(const Ledger& ledger)
{
    constexpr size_t shownDamage = 20;
    const std::vector<std::int64_t>& damaged = ledger.damagedLineNumbers();
    const std::vector<std::int64_t> shown(damaged.begin(), damaged.begin() + std::min(damaged.size(), shownDamage));
    return {{"lines", ledger.linesRead()},
            {"snapshot_lines", ledger.snapshotLines()},
            {"read_seconds", static_cast<double>(ledger.readMs()) / 1000.0},
            {"damaged_lines", ledger.damagedLines()},
            {"damaged_at", shown}};
}

}  // namespace

HttpReply getStatus(RouteContext& context, const RouteCall&)
{
    const ClientIdentity identity = identify(context.dll);
    const TradingState& state = context.ledger.state();
    return jsonReply(200, {{"ok", true},
                           {"attached", !identity.title.empty()},
                           {"title", identity.title},
                           {"broker", identity.broker},
                           {"account", identity.account},
                           {"halt", haltJson(state.halt())},
                           {"switch", switchJson(state)},
                           {"unknown_orders", state.unknownCount()},
                           {"journal", journalJson(context.ledger)},
                           {"events", {{"listeners", context.feed.listeners()},
                                       {"polls", context.feed.polls()},
                                       {"poll_seconds", static_cast<double>(context.feed.pollInterval().count()) / 1000.0}}},
                           {"service", {{"version", serviceVersion}, {"port", context.port}, {"pid", GetCurrentProcessId()}}}});
}

HttpReply postLogin(RouteContext& context, const RouteCall& call)
{
    if (const std::optional<FieldProblem> unknown = unknownField(call.body, {"password"})) {
        return fieldRefusal(*unknown);
    }
    std::string password;
    if (call.body.contains("password")) {
        const Json& given = memberOf(call.body, "password");
        if (!given.is_string()) {
            return fieldRefusal(badField("password must be a string"));
        }
        password = given.get<std::string>();
    }
    const std::optional<std::string> gbkPassword = zelvo_common::utf8ToGbk(password);
    if (!gbkPassword) {
        return fieldRefusal(badField("password holds characters GBK cannot write"));
    }
    const LoginOutcome login = logIn(context.ledger, context.dll, context.feed, *gbkPassword);
    return jsonReply(200, {{"ok", login.answer.ok},
                           {"message", login.answer.message},
                           {"title", login.identity.title},
                           {"broker", login.identity.broker},
                           {"account", login.identity.account}});
}

HttpReply postLogout(RouteContext& context, const RouteCall& call)
{
    if (const std::optional<FieldProblem> unknown = unknownField(call.body, {})) {
        return fieldRefusal(*unknown);
    }
    logOut(context.dll, context.feed);
    return jsonReply(200, {{"ok", true}});
}

HttpReply getQuery(RouteContext& context, const RouteCall& call)
{
    const std::optional<zelvo::QueryKind> kind = zelvo::kindNamed(zelvo::queryKindNames, call.name);
    if (!kind) {
        return errorReply(404, "unknown_query", "unknown query name; known: " + knownQueryNames());
    }
    const QueryRead read = queryPage(context.ledger, context.dll, *kind);
    return jsonReply(200, {{"ok", !read.answer.result.empty()},
                           {"name", std::string(call.name)},
                           {"kind", static_cast<int>(*kind)},
                           {"columns", read.table.columns},
                           {"rows", read.table.rows},
                           {"table", read.answer.result},
                           {"message", read.answer.message}});
}

HttpReply getEvents(RouteContext& context, const RouteCall& call)
{
    HttpReply reply{200, context.feed.opening(call.request.lastEventId), {}};
    reply.eventStream = true;
    return reply;
}

HttpReply getDescription(RouteContext&, const RouteCall&)
{
    return {200, std::string(openapiDocument()), {}};
}

}  // namespace zelvo_host
