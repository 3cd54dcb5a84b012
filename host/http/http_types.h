// A request as the routes see it and the reply they give, kept free of the
// HTTP library so that the routes never depend on it.
#pragma once
#include <algorithm>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zelvo_host {

struct HttpRequest {
    std::string method;         // "GET", "POST", ...
    std::string target;         // path and query as sent
    std::string authorization;  // the Authorization header, empty when absent
    std::string host;           // the Host header
    std::string origin;         // the Origin header, empty when absent
    std::string cookie;         // the Cookie header, empty when absent
    std::string fetchSite;      // the Sec-Fetch-Site header a browser sends, empty when absent
    std::string lastEventId;    // the Last-Event-ID header of a stream's reconnect
    std::vector<std::string> headerNames;  // of every header, as sent
    std::string body;
};

// True when the request has a header of this name (in any case).
[[nodiscard]] inline bool hasHeader(const HttpRequest& request, std::string_view name)
{
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return std::any_of(request.headerNames.begin(), request.headerNames.end(), [&](const std::string& sent) {
        return sent.size() == name.size() &&
               std::equal(sent.begin(), sent.end(), name.begin(), [&](char a, char b) { return lower(a) == lower(b); });
    });
}

struct HttpReply {
    int status = 200;
    std::string body;  // JSON unless a Content-Type header says otherwise
    std::vector<std::pair<std::string, std::string>> headers;
    // The reply opens an event stream: the body is its first events, and the
    // connection then stays a listener of the events the service publishes.
    bool eventStream = false;
};

using RequestHandler = std::function<HttpReply(const HttpRequest&)>;
// The reply to a request the HTTP layer refused before any route saw it
// (400 malformed, 413 body too large, 431 header too large).
using ProtocolErrorReply = std::function<HttpReply(int status)>;
// Work the service does by itself, run between requests on the same thread
// (never while a handler runs). `requestWaiting`: a request has arrived, or
// begun to, and waits to be read and served. Must not throw.
using Tick = std::function<void(bool requestWaiting)>;

}  // namespace zelvo_host
