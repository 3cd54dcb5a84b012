#include "http/event_stream.h"

#include <boost/asio/post.hpp>
#include <boost/asio/write.hpp>

#include <algorithm>

namespace zelvo_host {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;

namespace {

constexpr char droppedEvent[] =
    "event: dropped\ndata: {\"message\":\"this listener fell too far behind and is disconnected; "
    "reconnect with Last-Event-ID to go on\"}\n\n";

}  // namespace

StreamListener::StreamListener(tcp::socket socket, const StreamBounds& bounds, Closed closed)
    : socket_(std::move(socket)), timer_(socket_.get_executor()), bounds_(bounds), closed_(std::move(closed))
{
    boost::system::error_code ignored;
    socket_.set_option(asio::socket_base::send_buffer_size(bounds_.sendBufferBytes), ignored);
}

void StreamListener::start(std::string first)
{
    queue_.push_back(std::move(first));
    writeNext();
    readPeer();
}

void StreamListener::push(const std::string& text)
{
    if (!listening()) {
        return;
    }
    if (queuedBytes_ + text.size() > bounds_.maxQueuedBytes) {
        drop();
        return;
    }
    queue_.push_back(text);
    queuedBytes_ += text.size();
    if (writing_.empty()) {
        writeNext();
    }
}

void StreamListener::writeNext()
{
    if (queue_.empty()) {
        if (ending_) {
            close();
        }
        return;
    }
    writing_ = std::move(queue_.front());
    queue_.pop_front();
    queuedBytes_ -= std::min(queuedBytes_, writing_.size());
    timer_.expires_after(bounds_.writeTimeout);
    timer_.async_wait([self = shared_from_this(), write = ++writes_](const boost::system::error_code& ec) {
        if (ec) {
            return;
        }
        // The bound has passed. A write that completed before it, while a
        // handler held the thread (a call into a client that did not answer),
        // is taken first: the close goes behind it and is dropped once the
        // write is done.
        asio::post(self->socket_.get_executor(), [self, write] {
            if (write == self->writes_ && !self->writing_.empty()) {
                self->close();  // the peer took nothing for the whole bound
            }
        });
    });
    asio::async_write(socket_, asio::buffer(writing_),
                      [self = shared_from_this()](const boost::system::error_code& ec, std::size_t) { self->onWritten(ec); });
}

void StreamListener::onWritten(const boost::system::error_code& ec)
{
    timer_.cancel();
    writing_.clear();
    if (ec) {
        close();
        return;
    }
    writeNext();
}

void StreamListener::readPeer()
{
    socket_.async_read_some(asio::buffer(peerBytes_), [self = shared_from_this()](const boost::system::error_code& ec, std::size_t) {
        if (ec) {
            self->close();  // the peer left
        } else {
            self->readPeer();
        }
    });
}

void StreamListener::drop()
{
    ending_ = true;
    queue_.clear();
    queuedBytes_ = 0;
    queue_.emplace_back(droppedEvent);
    if (writing_.empty()) {
        writeNext();
    }
}

void StreamListener::close()
{
    if (!socket_.is_open()) {
        return;
    }
    ending_ = true;
    timer_.cancel();
    boost::system::error_code ignored;
    socket_.shutdown(tcp::socket::shutdown_both, ignored);
    socket_.close(ignored);
    if (closed_) {
        closed_(*this);
    }
}

}  // namespace zelvo_host
