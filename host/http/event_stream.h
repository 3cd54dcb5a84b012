// One listener of the event stream, in the HTTP layer: the connection of a
// GET /v1/events once its reply's header is out. Every write is
// asynchronous, so a listener never holds the service's thread. What waits
// to be written is bounded: a listener that falls further behind is dropped
// with a final "dropped" event, and one whose write does not finish within
// its bound is closed. The peer's own bytes are read and thrown away, which
// tells when it leaves. Used on the server's thread only.
#pragma once
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>

namespace zelvo_host {

struct StreamBounds {
    std::size_t maxQueuedBytes = 64 * 1024;  // waiting to be written, beyond the write in flight
    std::chrono::seconds writeTimeout{10};
    int sendBufferBytes = 16 * 1024;  // the socket's own buffer, so that a stalled peer shows soon
};

class StreamListener : public std::enable_shared_from_this<StreamListener> {
public:
    using Closed = std::function<void(StreamListener&)>;

    StreamListener(boost::asio::ip::tcp::socket socket, const StreamBounds& bounds, Closed closed);

    // Writes `first` (the reply's header and the backlog), then what is pushed.
    void start(std::string first);
    // Queues an event's text; drops the listener when the queue is full.
    void push(const std::string& text);
    // Still taking events (not dropped, not closed).
    [[nodiscard]] bool listening() const { return !ending_ && socket_.is_open(); }

private:
    void writeNext();
    void onWritten(const boost::system::error_code& ec);
    void readPeer();
    void drop();
    void close();

    boost::asio::ip::tcp::socket socket_;
    boost::asio::steady_timer timer_;
    StreamBounds bounds_;
    Closed closed_;
    std::string writing_;  // the text of the write in flight
    std::uint64_t writes_ = 0;  // writes started: a bound's close is for its own write only
    std::deque<std::string> queue_;
    std::size_t queuedBytes_ = 0;
    bool ending_ = false;  // the final event is queued: close once it is written
    char peerBytes_[512] = {};
};

}  // namespace zelvo_host
