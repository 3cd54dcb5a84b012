// The checks that keep a page on 127.0.0.1 from being used by another site:
// the Host header must name the service's own address and port (a site
// whose name an attacker points at 127.0.0.1, DNS rebinding, sends its own
// name), and a request that changes something and is authenticated by the
// page's cookie must show that it comes from the page: an Origin header of
// the service's own origin, or without one the header only the page sends.
// Browsers send the cookie to every port of 127.0.0.1, so the Origin check
// is what tells the page from another local site; a browser's Sec-Fetch-Site
// tells it for every request, reads too (an <img> of another local site's
// page has no Origin). No Windows header.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace zelvo_host {

// The header the operator page sends with each of its requests. A browser
// sends a custom header to another origin only after a preflight this
// service never allows.
constexpr char pageHeaderName[] = "X-Zelvo-Page";

// "http://127.0.0.1:PORT"
[[nodiscard]] std::string serviceOrigin(std::uint16_t port);

// True when `host` (the Host header) is the service's "127.0.0.1:PORT".
[[nodiscard]] bool hostAllowed(std::string_view host, std::uint16_t port);

// The value of the cookie `name` in a Cookie header, or empty text.
[[nodiscard]] std::string_view cookieValue(std::string_view cookieHeader, std::string_view name);

// The session cookie's name: one per port, since cookies do not tell ports apart.
[[nodiscard]] std::string sessionCookieName(std::uint16_t port);

// The Set-Cookie value that gives the browser its session: for this host
// only, never readable by scripts, never sent with another site's requests.
[[nodiscard]] std::string sessionCookie(std::uint16_t port, const std::string& session);

[[nodiscard]] bool changesState(std::string_view method);

// For a request authenticated by the cookie: true unless it carries another
// Origin, or a Sec-Fetch-Site other than "same-origin" (empty: none sent),
// or changes state and carries neither the service's own Origin nor the
// page's header.
[[nodiscard]] bool cookieRequestAllowed(std::string_view method, std::string_view origin, std::string_view fetchSite,
                                        bool pageHeader, std::uint16_t port);

}  // namespace zelvo_host
