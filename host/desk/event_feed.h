// The event stream as the service keeps it: each event numbered into the
// ring of recent events (event_ring.h) and published to the listeners
// connected now; the events of the ledger's changes (ledger_events.h) and of
// the client's polls (client_watch.h); and when the next poll is due. Used
// on the service thread only.
#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "rules/client_watch.h"
#include "rules/event_ring.h"
#include "rules/ledger_events.h"

namespace zelvo_host {

class EventFeed {
public:
    using Publish = std::function<void(const std::string& text)>;
    using CountListeners = std::function<std::size_t()>;
    using Clock = std::chrono::steady_clock;

    // `run` tells this run's event ids from another run's; the ring keeps the
    // last `capacity` events; the client is polled every `pollInterval`.
    EventFeed(std::string run, std::size_t capacity, std::chrono::milliseconds pollInterval);

    // Where the events go: the HTTP server's listeners.
    void connect(Publish publish, CountListeners countListeners);

    // Numbers `event` (stamped with the local time when it has none), keeps it
    // and sends it to every listener.
    void tell(NamedEvent event);
    // The event a journal line makes, if any.
    void tellLedgerLine(const Json& line);
    // A comment line, which listeners ignore (a keep-alive).
    void publishComment(const char* text) const;
    // What a listener that connects with `lastEventId` gets first: the time
    // to wait before a reconnect, then the events it missed (for an empty
    // id none: a first connection hears what comes next).
    [[nodiscard]] std::string opening(std::string_view lastEventId) const;

    [[nodiscard]] std::size_t listeners() const { return countListeners_ ? countListeners_() : 0; }
    [[nodiscard]] ClientWatch& watch() { return watch_; }

    // The polls: their interval, how many were made, and whether one is due
    // now. A poll waits while a request is waiting, for at most one more
    // interval; it is never due without a listener.
    [[nodiscard]] std::chrono::milliseconds pollInterval() const { return pollInterval_; }
    [[nodiscard]] bool pollDue(Clock::time_point at, bool requestWaiting);
    void polled(Clock::time_point at);
    [[nodiscard]] std::uint64_t polls() const { return polls_; }
    // True (and the next one scheduled) when the listeners are due a
    // keep-alive comment, which also finds those that left.
    [[nodiscard]] bool keepAliveDue(Clock::time_point at);

private:
    EventRing ring_;
    LedgerEvents ledgerEvents_;
    ClientWatch watch_;
    Publish publish_;
    CountListeners countListeners_;
    std::chrono::milliseconds pollInterval_;
    Clock::time_point lastPoll_{};
    std::uint64_t polls_ = 0;
    Clock::time_point nextKeepAlive_{};
};

}  // namespace zelvo_host
