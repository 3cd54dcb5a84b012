#include "rules/web_guard.h"

namespace zelvo_host {

namespace {

[[nodiscard]] std::string_view trimmed(std::string_view text)
{
    const size_t start = text.find_first_not_of(" \t");
    if (start == std::string_view::npos) {
        return {};
    }
    return text.substr(start, text.find_last_not_of(" \t") - start + 1);
}

}  // namespace

std::string serviceOrigin(std::uint16_t port)
{
    return "http://127.0.0.1:" + std::to_string(port);
}

bool hostAllowed(std::string_view host, std::uint16_t port)
{
    return host == "127.0.0.1:" + std::to_string(port);
}

std::string_view cookieValue(std::string_view cookieHeader, std::string_view name)
{
    while (!cookieHeader.empty()) {
        const size_t end = cookieHeader.find(';');
        const std::string_view pair = trimmed(cookieHeader.substr(0, end));
        const size_t equals = pair.find('=');
        if (equals != std::string_view::npos && trimmed(pair.substr(0, equals)) == name) {
            return trimmed(pair.substr(equals + 1));
        }
        if (end == std::string_view::npos) {
            break;
        }
        cookieHeader.remove_prefix(end + 1);
    }
    return {};
}

std::string sessionCookieName(std::uint16_t port)
{
    return "zelvo_session_" + std::to_string(port);
}

std::string sessionCookie(std::uint16_t port, const std::string& session)
{
    return sessionCookieName(port) + "=" + session + "; Path=/; HttpOnly; SameSite=Strict";
}

bool changesState(std::string_view method)
{
    return method != "GET" && method != "HEAD" && method != "OPTIONS";
}

bool cookieRequestAllowed(std::string_view method, std::string_view origin, std::string_view fetchSite,
                          bool pageHeader, std::uint16_t port)
{
    if (!fetchSite.empty() && fetchSite != "same-origin") {
        return false;  // another site's, or the user's own navigation (which the page's routes never are)
    }
    if (!origin.empty()) {
        // A page of another origin never passes, whatever else it sends.
        return origin == serviceOrigin(port);
    }
    return !changesState(method) || pageHeader;
}

}  // namespace zelvo_host
