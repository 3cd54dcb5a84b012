// The service's HTTP server: one thread runs it and every request's handler,
// so the handlers (which call zelvo.dll) always run on that thread, one at
// a time, in the order the requests were read.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "http/http_types.h"

namespace zelvo_host {

struct ServerLimits {
    std::size_t maxBodyBytes = 64 * 1024;
    std::size_t maxHeaderBytes = 16 * 1024;
    // A connection that has not sent a whole request this long after it
    // opened, or after its last answer, is closed, whatever the service did
    // meanwhile; a reply not written in this long closes it too.
    unsigned readTimeoutSeconds = 10;
    unsigned writeTimeoutSeconds = 10;
    // Connections open at once, the event stream's listeners among them. At
    // the bound, the connection kept open longest for a next request (of
    // which nothing has arrived) is closed to make room; with none such, a
    // new one is answered 503 and closed.
    std::size_t maxConnections = 32;
};

enum class BindResult { Bound, PortTaken, Failed };

class HttpServer;

struct HttpServerDeleter {
    void operator()(HttpServer* server) const noexcept;
};
using HttpServerPtr = std::unique_ptr<HttpServer, HttpServerDeleter>;

// Binds `address` (an IPv4 address: "127.0.0.1"):`port` exclusively (no
// other socket may share the port) and listens. Null, with `result` saying
// why, when that fails.
[[nodiscard]] HttpServerPtr bindServer(const std::string& address, std::uint16_t port, const ServerLimits& limits,
                                       BindResult& result);

// The event stream's listeners still taking events.
[[nodiscard]] std::size_t listenerCount(const HttpServer& server);
// Queues `text` (one event, or a comment) for every listener.
void publish(HttpServer& server, const std::string& text);

// Serves requests on the calling thread until the process ends, and runs
// `tick` on it every `tickMs` between them.
void serveForever(HttpServer& server, const RequestHandler& handle, const ProtocolErrorReply& protocolError,
                  const Tick& tick, unsigned tickMs);

}  // namespace zelvo_host
