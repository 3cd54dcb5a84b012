#include "routes/page_routes.h"

#include <optional>

#include "routes/json_replies.h"
#include "rules/web_guard.h"
#include "store/clock.h"

namespace zelvo_host {

namespace {

constexpr char loginPath[] = "/login";
constexpr char codeParameter[] = "code=";

// Only the page's own files, no inline script, no form posting elsewhere,
// never inside another site's frame (a hidden Halt button under a click).
constexpr char contentPolicy[] =
    "default-src 'none'; script-src 'self'; style-src 'self'; connect-src 'self'; img-src 'self' data:; "
    "base-uri 'none'; form-action 'none'; frame-ancestors 'none'";

constexpr char spentLinkPage[] =
    "<!doctype html><meta charset=\"utf-8\"><title>Zelvo: sign-in link not valid</title>"
    "<p>This sign-in link was used already, or a newer one was made since. Run zelvo-load again "
    "(or <code>python3 -m zelvo page</code>) for a new link.</p>";

[[nodiscard]] HttpReply fileReply(std::string_view text, const char* contentType)
{
    HttpReply reply{200, std::string(text), {}};
    reply.headers = {{"Content-Type", contentType},
                     {"Content-Security-Policy", contentPolicy},
                     {"X-Frame-Options", "DENY"},
                     {"X-Content-Type-Options", "nosniff"},
                     {"Referrer-Policy", "no-referrer"}};
    return reply;
}

// The value of `code=` in the query of `target`, or empty text.
[[nodiscard]] std::string_view codeOf(std::string_view target)
{
    const size_t query = target.find('?');
    std::string_view rest = query == std::string_view::npos ? std::string_view() : target.substr(query + 1);
    while (!rest.empty()) {
        const size_t end = rest.find('&');
        const std::string_view pair = rest.substr(0, end);
        if (pair.substr(0, sizeof codeParameter - 1) == codeParameter) {
            return pair.substr(sizeof codeParameter - 1);
        }
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    return {};
}

}  // namespace

HttpReply getPage(RouteContext&, const RouteCall&)
{
    return fileReply(pageHtml(), "text/html; charset=utf-8");
}

HttpReply getPageCss(RouteContext&, const RouteCall&)
{
    return fileReply(pageCss(), "text/css; charset=utf-8");
}

HttpReply getPageJs(RouteContext&, const RouteCall&)
{
    return fileReply(pageJs(), "text/javascript; charset=utf-8");
}

HttpReply getLogin(RouteContext& context, const RouteCall& call)
{
    const std::string session = context.web.exchange(codeOf(call.request.target), steadyMs());
    if (session.empty()) {
        HttpReply refused = fileReply(spentLinkPage, "text/html; charset=utf-8");
        refused.status = 403;
        return refused;
    }
    HttpReply reply{303, {}, {}};
    reply.headers = {{"Content-Type", "text/html; charset=utf-8"},
                     {"Location", "/"},
                     {"Set-Cookie", sessionCookie(context.port, session)},
                     {"Referrer-Policy", "no-referrer"}};
    return reply;
}

HttpReply postLoginLink(RouteContext& context, const RouteCall& call)
{
    if (const std::optional<FieldProblem> unknown = unknownField(call.body, {})) {
        return fieldRefusal(*unknown);
    }
    const std::string code = context.web.newLoginCode(steadyMs());
    if (code.empty()) {
        return errorReply(503, "no_random", "the system's random source failed; no link was made");
    }
    return jsonReply(200, {{"ok", true}, {"url", serviceOrigin(context.port) + loginPath + "?" + codeParameter + code}});
}

}  // namespace zelvo_host
