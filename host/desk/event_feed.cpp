#include "desk/event_feed.h"

#include "store/clock.h"

namespace zelvo_host {

namespace {

// A listener that lost its connection tries again after this long.
constexpr char retryLine[] = "retry: 1000\n\n";
constexpr char missedEvent[] =
    "event: missed\ndata: {\"message\":\"some events since the last one received are no longer kept; "
    "read the lists again\"}\n\n";
constexpr std::chrono::seconds keepAliveEvery{15};

}  // namespace

EventFeed::EventFeed(std::string run, std::size_t capacity, std::chrono::milliseconds pollInterval)
    : ring_(std::move(run), capacity), pollInterval_(pollInterval)
{
}

void EventFeed::connect(Publish publish, CountListeners countListeners)
{
    publish_ = std::move(publish);
    countListeners_ = std::move(countListeners);
}

void EventFeed::tell(NamedEvent event)
{
    if (!event.data.contains("time")) {
        const Instant at = now();
        event.data["time"] = at.local;
        event.data["epoch_ms"] = at.epochMs;
    }
    const Event& kept = ring_.append(std::move(event.kind), event.data);
    if (publish_) {
        publish_(streamText(ring_.idOf(kept), kept));
    }
}

void EventFeed::tellLedgerLine(const Json& line)
{
    if (std::optional<NamedEvent> event = ledgerEvents_.of(line)) {
        tell(std::move(*event));
    }
}

void EventFeed::publishComment(const char* text) const
{
    if (publish_) {
        publish_(text);
    }
}

std::string EventFeed::opening(std::string_view lastEventId) const
{
    std::string text = retryLine;
    if (lastEventId.empty()) {
        return text;
    }
    const Backlog backlog = ring_.after(lastEventId);
    if (backlog.missed) {
        text += missedEvent;
    }
    for (const Event& event : backlog.events) {
        text += streamText(ring_.idOf(event), event);
    }
    return text;
}

bool EventFeed::pollDue(Clock::time_point at, bool requestWaiting)
{
    if (listeners() == 0 || at - lastPoll_ < pollInterval_) {
        return false;
    }
    return !requestWaiting || at - lastPoll_ >= 2 * pollInterval_;
}

void EventFeed::polled(Clock::time_point at)
{
    lastPoll_ = at;
    ++polls_;
}

bool EventFeed::keepAliveDue(Clock::time_point at)
{
    if (listeners() == 0 || at < nextKeepAlive_) {
        return false;
    }
    nextKeepAlive_ = at + keepAliveEvery;
    return true;
}

}  // namespace zelvo_host
