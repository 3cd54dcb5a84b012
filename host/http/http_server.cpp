#include "http/http_server.h"

#include <array>
#include <chrono>
#include <optional>
#include <set>
#include <vector>

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http.hpp>

#include "http/event_stream.h"

// Asio would call WSAStartup from a global constructor, which runs inside
// DllMain while the loader lock is held; Winsock must not be started there.
// This object, constructed before every other global, tells Asio that the
// DLL starts Winsock itself (the service thread does, see service.cpp).
__attribute__((init_priority(101))) boost::asio::detail::winsock_init<>::manual manualWinsockStart;

namespace zelvo_host {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;
using Clock = std::chrono::steady_clock;

namespace {
class Connection;
}

class HttpServer {
public:
    asio::io_context io{1};
    tcp::acceptor acceptor{io};
    asio::steady_timer acceptRetry{io};
    asio::steady_timer ticker{io};
    ServerLimits limits;
    const RequestHandler* handle = nullptr;
    const ProtocolErrorReply* protocolError = nullptr;
    const Tick* tick = nullptr;
    unsigned tickMs = 0;
    // The connections reading or answering requests, and the event stream's
    // listeners: together never more than limits.maxConnections. A
    // connection leaves the set when it is closed.
    std::set<Connection*> connections;
    std::set<std::shared_ptr<StreamListener>> listeners;
    StreamBounds streamBounds;

    [[nodiscard]] std::size_t openConnections() const { return connections.size() + listeners.size(); }
};

void HttpServerDeleter::operator()(HttpServer* server) const noexcept
{
    delete server;
}

namespace {

using ExclusiveAddressUse = asio::detail::socket_option::boolean<SOL_SOCKET, SO_EXCLUSIVEADDRUSE>;

// What is read and thrown away after a refused request whose body was not
// read, before the socket is closed: closing with unread data would reset
// the connection and the peer could lose the reply.
constexpr std::size_t maxDrainBytes = 1u << 20;
constexpr unsigned drainSeconds = 1;

constexpr char continueLine[] = "HTTP/1.1 100 Continue\r\n\r\n";
// The header of an event stream's reply. The stream runs until the
// connection closes, so it has no length and the connection is not kept
// for another request.
constexpr char streamHeader[] =
    "HTTP/1.1 200 OK\r\nServer: zelvo-host\r\nContent-Type: text/event-stream; charset=utf-8\r\n"
    "Cache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\nConnection: close\r\n\r\n";

[[nodiscard]] std::string headerOf(const http::request<http::string_body>& message, http::field field)
{
    const auto found = message.find(field);
    return found == message.end() ? std::string() : std::string(found->value());
}

[[nodiscard]] HttpRequest requestOf(http::request<http::string_body>& message)
{
    HttpRequest request;
    request.method = std::string(message.method_string());
    request.target = std::string(message.target());
    request.authorization = headerOf(message, http::field::authorization);
    request.host = headerOf(message, http::field::host);
    request.origin = headerOf(message, http::field::origin);
    request.cookie = headerOf(message, http::field::cookie);
    request.fetchSite = std::string(message["Sec-Fetch-Site"]);
    request.lastEventId = std::string(message["Last-Event-ID"]);
    for (const auto& field : message) {
        request.headerNames.emplace_back(field.name_string());
    }
    request.body = std::move(message.body());
    return request;
}

// A request the parser refused, as opposed to a peer that left (before a
// request, or in the middle of one).
[[nodiscard]] bool isParseError(const beast::error_code& ec)
{
    return ec.category() == make_error_code(http::error::bad_target).category() && ec != http::error::end_of_stream &&
           ec != http::error::partial_message;
}

// One client connection: reads a request, runs its handler, writes the
// reply, and reads the next while the client keeps the connection. A request
// must be read whole within the read bound of the connection's opening or of
// its last answer, whatever else the service does meanwhile: a peer that
// sends a request slowly, or part of one, never holds a connection longer.
class Connection : public std::enable_shared_from_this<Connection> {
public:
    Connection(HttpServer& server, tcp::socket socket)
        : server_(server), socket_(std::move(socket)), timer_(server.io)
    {
        server_.connections.insert(this);
    }
    ~Connection() { server_.connections.erase(this); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    void start() { readHeader(); }

    // Refuses the connection at once: the service has as many as it serves.
    // What the peer sent meanwhile is drained, so that it reads the answer
    // rather than a reset.
    void refuseBusy() { send((*server_.protocolError)(503), true, true); }

    // Part of a request has arrived and is not yet served.
    [[nodiscard]] bool requestWaiting()
    {
        beast::error_code ec;
        return socket_.is_open() && !streaming_ && (buffer_.size() > 0 || socket_.available(ec) > 0);
    }

    // Kept open after an answer and waiting for the next request, of which
    // nothing has arrived: when, or none.
    [[nodiscard]] std::optional<Clock::time_point> idleSince()
    {
        if (!awaitingNext_ || requestWaiting()) {
            return std::nullopt;
        }
        return idleSince_;
    }

    // Closes the connection at once; what is in flight ends with it.
    void closeNow()
    {
        disarm();
        server_.connections.erase(this);
        beast::error_code ignored;
        socket_.close(ignored);
    }

private:
    // Reads the next request: the read bound runs from now (the opening or
    // the last answer) until the whole request, header and body, is read.
    void readHeader()
    {
        parser_.emplace();
        parser_->body_limit(server_.limits.maxBodyBytes);
        parser_->header_limit(static_cast<std::uint32_t>(server_.limits.maxHeaderBytes));
        arm(server_.limits.readTimeoutSeconds);
        idleSince_ = Clock::now();
        http::async_read_header(socket_, buffer_, *parser_,
                                [self = shared_from_this()](beast::error_code ec, std::size_t) { self->onHeader(ec); });
    }

    void onHeader(beast::error_code ec)
    {
        awaitingNext_ = false;
        if (refusedRead(ec)) {
            return;
        }
        // curl and others wait for this line before they send a body.
        if (beast::iequals((*parser_).get()[http::field::expect], "100-continue")) {
            asio::async_write(socket_, asio::buffer(continueLine, sizeof continueLine - 1),
                              [self = shared_from_this()](beast::error_code written, std::size_t) {
                                  if (written) {
                                      self->closeNow();
                                  } else {
                                      self->readBody();
                                  }
                              });
            return;
        }
        readBody();
    }

    void readBody()
    {
        http::async_read(socket_, buffer_, *parser_,
                         [self = shared_from_this()](beast::error_code ec, std::size_t) { self->onBody(ec); });
    }

    // True when the read ended the request: the connection is then closed,
    // or refused with a reply and closed.
    [[nodiscard]] bool refusedRead(const beast::error_code& ec)
    {
        if (!ec) {
            return false;
        }
        disarm();
        if (ec == http::error::body_limit) {
            send((*server_.protocolError)(413), true, true);
        } else if (ec == http::error::header_limit) {
            send((*server_.protocolError)(431), true, true);
        } else if (isParseError(ec)) {
            send((*server_.protocolError)(400), true, true);
        } else {
            closeNow();  // the peer left, or the socket failed or timed out
        }
        return true;
    }

    void onBody(beast::error_code ec)
    {
        if (refusedRead(ec)) {
            return;
        }
        disarm();
        auto& message = parser_->get();
        const bool keepAlive = message.keep_alive();
        HttpReply reply = (*server_.handle)(requestOf(message));
        if (reply.eventStream && reply.status == 200) {
            becomeListener(std::move(reply.body));
            return;
        }
        send(std::move(reply), !keepAlive, false);
    }

    // Hands the socket to a listener of the event stream, which writes the
    // stream's header and `backlog` first; this connection then ends.
    void becomeListener(std::string backlog)
    {
        streaming_ = true;
        disarm();
        HttpServer& server = server_;
        auto listener = std::make_shared<StreamListener>(std::move(socket_), server.streamBounds, [&server](StreamListener& closed) {
            for (auto it = server.listeners.begin(); it != server.listeners.end(); ++it) {
                if (it->get() == &closed) {
                    server.listeners.erase(it);
                    return;
                }
            }
        });
        server.listeners.insert(listener);
        listener->start(streamHeader + backlog);
    }

    void send(HttpReply reply, bool close, bool drain)
    {
        response_ = {};
        response_.version(11);
        response_.result(static_cast<unsigned>(reply.status));
        response_.set(http::field::server, "zelvo-host");
        response_.set(http::field::content_type, "application/json; charset=utf-8");
        response_.set(http::field::cache_control, "no-store");
        for (const auto& [name, value] : reply.headers) {
            response_.set(name, value);
        }
        response_.body() = std::move(reply.body);
        response_.keep_alive(!close);
        response_.prepare_payload();
        arm(server_.limits.writeTimeoutSeconds);
        http::async_write(socket_, response_,
                          [self = shared_from_this(), close, drain](beast::error_code ec, std::size_t) {
                              self->onWritten(ec, close, drain);
                          });
    }

    void onWritten(beast::error_code ec, bool close, bool drain)
    {
        disarm();
        if (ec) {
            closeNow();
        } else if (!close) {
            awaitingNext_ = true;
            readHeader();
        } else {
            beast::error_code ignored;
            socket_.shutdown(tcp::socket::shutdown_send, ignored);
            if (drain) {
                arm(drainSeconds);
                drainRest();
            } else {
                closeNow();
            }
        }
    }

    void drainRest()
    {
        socket_.async_read_some(asio::buffer(discard_), [self = shared_from_this()](beast::error_code ec, std::size_t n) {
            self->drained_ += n;
            if (ec || self->drained_ > maxDrainBytes) {
                self->closeNow();
            } else {
                self->drainRest();
            }
        });
    }

    // Starts the bound on the next read or write.
    void arm(unsigned seconds)
    {
        const std::uint64_t generation = ++generation_;
        timer_.expires_after(std::chrono::seconds(seconds));
        timer_.async_wait([self = shared_from_this(), generation](beast::error_code ec) { self->onTimer(ec, generation); });
    }

    void disarm()
    {
        ++generation_;
        timer_.cancel();
    }

    void onTimer(beast::error_code ec, std::uint64_t generation)
    {
        if (ec || generation != generation_) {
            return;  // cancelled, or replaced by a later bound
        }
        // The bound has passed. What had completed before it, but waited
        // while a handler held the thread (a request read whole in time), runs
        // first: the close goes behind it and is dropped when it moved on.
        asio::post(server_.io, [self = shared_from_this(), generation] {
            if (generation == self->generation_) {
                self->closeNow();
            }
        });
    }

    HttpServer& server_;
    tcp::socket socket_;
    asio::steady_timer timer_;
    beast::flat_buffer buffer_;
    std::optional<http::request_parser<http::string_body>> parser_;
    http::response<http::string_body> response_;
    std::array<char, 4096> discard_{};
    std::size_t drained_ = 0;
    std::uint64_t generation_ = 0;
    Clock::time_point idleSince_{};
    bool awaitingNext_ = false;  // answered a request and kept open for the next
    bool streaming_ = false;
};

// At the bound on connections, closes the connection that has waited
// longest for a next request of which nothing has arrived; false when none
// waits so.
[[nodiscard]] bool closeLongestIdle(HttpServer& server)
{
    Connection* longest = nullptr;
    Clock::time_point since = Clock::time_point::max();
    for (Connection* connection : server.connections) {
        if (const std::optional<Clock::time_point> idle = connection->idleSince(); idle && *idle < since) {
            longest = connection;
            since = *idle;
        }
    }
    if (longest == nullptr) {
        return false;
    }
    longest->closeNow();
    return true;
}

void acceptNext(HttpServer& server)
{
    server.acceptor.async_accept([&server](beast::error_code ec, tcp::socket socket) {
        if (!ec) {
            beast::error_code ignored;
            socket.set_option(tcp::no_delay(true), ignored);
            // A connection kept open for a next request gives way to a new
            // one before the new one is refused.
            const bool full = server.openConnections() >= server.limits.maxConnections && !closeLongestIdle(server);
            const auto connection = std::make_shared<Connection>(server, std::move(socket));
            if (full) {
                connection->refuseBusy();
            } else {
                connection->start();
            }
            acceptNext(server);
            return;
        }
        if (!server.acceptor.is_open()) {
            return;
        }
        // Out of sockets or memory for a moment: try again shortly rather than spin.
        server.acceptRetry.expires_after(std::chrono::milliseconds(100));
        server.acceptRetry.async_wait([&server](beast::error_code) { acceptNext(server); });
    });
}

[[nodiscard]] bool anyRequestWaiting(const HttpServer& server)
{
    for (Connection* connection : server.connections) {
        if (connection->requestWaiting()) {
            return true;
        }
    }
    return false;
}

void tickNext(HttpServer& server)
{
    server.ticker.expires_after(std::chrono::milliseconds(server.tickMs));
    server.ticker.async_wait([&server](beast::error_code ec) {
        if (ec) {
            return;
        }
        tickNext(server);
        // Posted, the tick runs after whatever had completed by now: a
        // request already read goes first.
        asio::post(server.io, [&server] { (*server.tick)(anyRequestWaiting(server)); });
    });
}

}  // namespace

std::size_t listenerCount(const HttpServer& server)
{
    std::size_t listening = 0;
    for (const auto& listener : server.listeners) {
        listening += listener->listening() ? 1 : 0;
    }
    return listening;
}

void publish(HttpServer& server, const std::string& text)
{
    // A copy: a listener dropped while it is told leaves the set.
    const std::vector<std::shared_ptr<StreamListener>> listeners(server.listeners.begin(), server.listeners.end());
    for (const auto& listener : listeners) {
        listener->push(text);
    }
}

HttpServerPtr bindServer(const std::string& address, std::uint16_t port, const ServerLimits& limits, BindResult& result)
{
    HttpServerPtr server(new HttpServer);
    server->limits = limits;
    beast::error_code ec;
    const asio::ip::address_v4 ip = asio::ip::make_address_v4(address, ec);
    result = BindResult::Failed;
    if (ec) {
        return nullptr;
    }
    const tcp::endpoint endpoint(ip, port);
    if (server->acceptor.open(endpoint.protocol(), ec); ec) {
        return nullptr;
    }
    // Not SO_REUSEADDR: on Windows that would let another program bind the
    // same port and take requests meant for this service.
    server->acceptor.set_option(ExclusiveAddressUse(true), ec);
    if (server->acceptor.bind(endpoint, ec); ec) {
        if (ec == asio::error::address_in_use || ec == asio::error::access_denied) {
            result = BindResult::PortTaken;
        }
        return nullptr;
    }
    if (server->acceptor.listen(asio::socket_base::max_listen_connections, ec); ec) {
        return nullptr;
    }
    result = BindResult::Bound;
    return server;
}

void serveForever(HttpServer& server, const RequestHandler& handle, const ProtocolErrorReply& protocolError,
                  const Tick& tick, unsigned tickMs)
{
    server.handle = &handle;
    server.protocolError = &protocolError;
    server.tick = &tick;
    server.tickMs = tickMs;
    acceptNext(server);
    tickNext(server);
    while (true) {
        try {
            server.io.run();
            return;  // no work left: the listening socket is gone
        } catch (...) {
            // A failing handler must not end the service: go on with the others.
            server.io.restart();
        }
    }
}

}  // namespace zelvo_host
