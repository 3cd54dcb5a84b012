#include "rules/event_ring.h"

#include <algorithm>

namespace zelvo_host {

namespace {

// The number of `id` when it is one of `run`'s ids, else none.
[[nodiscard]] std::optional<std::uint64_t> numberIn(std::string_view id, std::string_view run)
{
    if (id.size() <= run.size() + 1 || id.substr(0, run.size()) != run || id[run.size()] != '-') {
        return std::nullopt;
    }
    const std::string_view digits = id.substr(run.size() + 1);
    if (digits.size() > 18 || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    std::uint64_t number = 0;
    for (const char c : digits) {
        number = number * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return number;
}

}  // namespace

EventRing::EventRing(std::string run, std::size_t capacity) : run_(std::move(run)), capacity_(std::max<std::size_t>(capacity, 1))
{
}

const Event& EventRing::append(std::string kind, const Json& data)
{
    if (events_.size() == capacity_) {
        events_.pop_front();
    }
    events_.push_back({next_++, std::move(kind), dumpJson(data)});
    return events_.back();
}

std::string EventRing::idOf(const Event& event) const
{
    return run_ + "-" + std::to_string(event.number);
}

Backlog EventRing::after(std::string_view lastEventId) const
{
    Backlog backlog;
    const std::optional<std::uint64_t> last = numberIn(lastEventId, run_);
    // An id of another run, or a number this run never gave: everything kept
    // may be new to the listener, and what came before it is gone.
    const bool known = last && *last < next_;
    const std::uint64_t from = known ? *last + 1 : 1;
    const std::uint64_t oldest = events_.empty() ? next_ : events_.front().number;
    backlog.missed = !known || from < oldest;
    for (const Event& event : events_) {
        if (event.number >= from) {
            backlog.events.push_back(event);
        }
    }
    return backlog;
}

std::string streamText(const std::string& id, const Event& event)
{
    return "id: " + id + "\nevent: " + event.kind + "\ndata: " + event.data + "\n\n";
}

}  // namespace zelvo_host
