#include "routes/access.h"

#include "routes/json_replies.h"
#include "rules/web_guard.h"
#include "store/clock.h"
#include "store/secrets.h"

namespace zelvo_host {

namespace {

enum class Credentials { None, Bearer, Cookie };

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

[[nodiscard]] Credentials credentialsOf(const RouteContext& context, const HttpRequest& request)
{
    if (tokensEqual(context.token, bearerToken(request.authorization))) {
        return Credentials::Bearer;
    }
    if (context.web.isSession(cookieValue(request.cookie, sessionCookieName(context.port)), steadyMs())) {
        return Credentials::Cookie;
    }
    return Credentials::None;
}

}  // namespace

std::optional<HttpReply> accessRefusal(const RouteContext& context, const HttpRequest& request, Access access)
{
    if (!hostAllowed(request.host, context.port)) {
        return errorReply(403, "wrong_host", "the Host header must be the service's own address, " +
                                                 serviceOrigin(context.port).substr(7));
    }
    if (access == Access::Open) {
        return std::nullopt;
    }
    const Credentials credentials = credentialsOf(context, request);
    if (credentials == Credentials::None) {
        HttpReply reply = errorReply(401, "unauthorized", "a valid bearer token is required");
        reply.headers.emplace_back("WWW-Authenticate", "Bearer");
        return reply;
    }
    if (credentials == Credentials::Bearer) {
        return std::nullopt;
    }
    if (!cookieRequestAllowed(request.method, request.origin, request.fetchSite, hasHeader(request, pageHeaderName),
                              context.port)) {
        return errorReply(403, "cross_origin", "a request of another origin is refused");
    }
    if (access == Access::Token) {
        return errorReply(403, "token_required", "this route takes the bearer token: the operator page's sign-in "
                                                 "stands only for what the page does");
    }
    return std::nullopt;
}

}  // namespace zelvo_host
