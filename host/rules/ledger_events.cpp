#include "rules/ledger_events.h"

#include "rules/journal_entries.h"

namespace zelvo_host {

namespace {

constexpr std::size_t maxAwaited = 64;

[[nodiscard]] Json memberOr(const Json& object, const char* key, Json fallback)
{
    const auto found = object.find(key);
    return found != object.end() ? *found : fallback;
}

// The time members every event carries, taken from its journal line.
[[nodiscard]] Json stampedFrom(const Json& line, Json data)
{
    data["time"] = memberOr(line, "time", "");
    data["epoch_ms"] = memberOr(line, "epoch_ms", 0);
    return data;
}

[[nodiscard]] NamedEvent limitEvent(const Json& request, const Json& answer)
{
    Json data = {{"limit", memberOr(answer, "limit", "")},
                 {"value", memberOr(answer, "value", nullptr)},
                 {"current", memberOr(answer, "current", nullptr)},
                 {"message", memberOr(answer, "message", "")}};
    data[memberOr(request, "route", "") == cancelRoute ? "cancel" : "order"] = memberOr(request, "request", Json::object());
    return {"limit", data};
}

// An order the service answered: sent and answered by the client, or
// refused by the halt before anything was sent.
[[nodiscard]] NamedEvent orderEvent(const Json& request, const Json& answer, int status)
{
    Json data = memberOr(request, "request", Json::object());
    data["source"] = "service";
    data["order_id"] = memberOr(request, "order_id", memberOr(data, "order_id", ""));
    data["outcome"] = status == 423 ? Json("halted") : memberOr(answer, "outcome", "unknown");
    data["contract"] = memberOr(answer, "contract", -1);
    data["message"] = memberOr(answer, "message", "");
    return {"order", data};
}

[[nodiscard]] NamedEvent switchEvent(const Json& line, EntryKind kind)
{
    if (kind == EntryKind::SwitchFired) {
        return {"switch", {{"action", "fired"}, {"seconds", memberOr(line, "seconds", 0)}}};
    }
    const bool armed = memberOr(line, "seconds", 0) != 0;
    return {"switch", {{"action", armed ? "armed" : "disarmed"},
                       {"seconds", memberOr(line, "seconds", 0)},
                       {"deadline_ms", memberOr(line, "deadline_ms", 0)}}};
}

// One try of a fired switch's cancels.
[[nodiscard]] NamedEvent switchCancelsEvent(const Json& line)
{
    return {"switch", {{"action", "cancels"},
                       {"attempt", memberOr(line, "attempt", 0)},
                       {"ok", memberOr(line, "ok", false)},
                       {"done", memberOr(line, "done", true)},
                       {"message", memberOr(line, "message", "")}}};
}

[[nodiscard]] NamedEvent reconciledEvent(const Json& line)
{
    return {"order", {{"source", "reconciled"},
                      {"order_id", memberOr(line, "order_id", "")},
                      {"outcome", memberOr(line, "outcome", "unknown")},
                      {"contract", memberOr(line, "contract", -1)},
                      {"message", memberOr(line, "note", "")}}};
}

}  // namespace

std::optional<NamedEvent> LedgerEvents::of(const Json& line)
{
    const std::optional<EntryKind> kind = entryKindOf(line);
    if (!kind) {
        return std::nullopt;
    }
    std::optional<NamedEvent> made;
    switch (*kind) {
    case EntryKind::Request:
        if (requests_.size() >= maxAwaited) {
            requests_.erase(requests_.begin());
        }
        requests_[memberOr(line, "seq", 0).get<std::int64_t>()] = line;
        break;
    case EntryKind::Answer: made = ofAnswer(line); break;
    case EntryKind::Reconciled: made = reconciledEvent(line); break;
    case EntryKind::Halt:
        made = NamedEvent{"halt", {{"reason", memberOr(line, "reason", "")}, {"by", memberOr(line, "by", "")}}};
        break;
    case EntryKind::Resume: made = NamedEvent{"resume", Json::object()}; break;
    case EntryKind::Switch:
    case EntryKind::SwitchFired: made = switchEvent(line, *kind); break;
    case EntryKind::CancelAll:
        if (memberOr(line, "by", "") == cancelByName(CancelBy::Switch)) {
            made = switchCancelsEvent(line);
        }
        break;
    case EntryKind::Cancel:
    case EntryKind::Seen:
    case EntryKind::Limits:
    case EntryKind::Start: break;  // no change a listener is told of
    }
    if (made) {
        made->data = stampedFrom(line, std::move(made->data));
    }
    return made;
}

std::optional<NamedEvent> LedgerEvents::ofAnswer(const Json& line)
{
    const auto found = requests_.find(memberOr(line, "seq", 0).get<std::int64_t>());
    if (found == requests_.end()) {
        return std::nullopt;
    }
    const Json request = std::move(found->second);
    requests_.erase(found);
    const int status = memberOr(line, "status", 0).get<int>();
    const Json answer = memberOr(line, "answer", Json::object());
    if (status == 422) {
        return limitEvent(request, answer);
    }
    const bool order = memberOr(request, "route", "") == ordersRoute;
    const bool sent = memberOr(request, "sends", false) == true;
    if (order && (sent || status == 423)) {
        return orderEvent(request, answer, status);
    }
    return std::nullopt;  // a repeat, a cancel, a cancel-all: no change of a record
}

}  // namespace zelvo_host
