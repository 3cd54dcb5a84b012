// The service's recent events, kept for listeners that reconnect: each event
// gets the next number of this service's run, and its id is the run's mark
// with that number ("1733650000000-42"), so that an id of an earlier run is
// never taken for one of this run. The ring keeps the newest `capacity`
// events; a listener whose last id has left the ring (or is of another run)
// is told that it missed some. No Windows header.
#pragma once
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "rules/json_types.h"

namespace zelvo_host {

struct Event {
    std::uint64_t number = 0;
    std::string kind;  // trade, order, halt, resume, limit, switch, client
    std::string data;  // one line of JSON
};

// What a listener that connects with `Last-Event-ID` gets first.
struct Backlog {
    std::vector<Event> events;  // the events after its last one, oldest first
    bool missed = false;        // some events after its last one are no longer kept
};

class EventRing {
public:
    // `run`: what tells this run of the service from others (its start time in ms).
    EventRing(std::string run, std::size_t capacity);

    // Appends one event; its data must be a JSON object.
    const Event& append(std::string kind, const Json& data);

    [[nodiscard]] std::string idOf(const Event& event) const;
    // The events after the one `lastEventId` names. For an id this run did
    // not give (another run's, or none at all) every kept event, with
    // `missed` set: a first connection asks for no backlog at all.
    [[nodiscard]] Backlog after(std::string_view lastEventId) const;

private:
    std::string run_;
    std::size_t capacity_;
    std::uint64_t next_ = 1;
    std::deque<Event> events_;
};

// The event as the stream sends it: "id:", "event:" and "data:" lines and an
// empty line. The data is one line of JSON, so it needs one "data:" line.
[[nodiscard]] std::string streamText(const std::string& id, const Event& event);

}  // namespace zelvo_host
