// The events a listener hears of the service's own changes, made from the
// journal's entries as the ledger applies them: an order the service sent
// (its outcome once answered), an order refused by a halt, a risk limit's
// refusal, a reconciliation, the halt, its lifting and the dead man's switch
// (armed, disarmed, fired, and each try of a fired switch's cancels). The
// ledger is the one place every such change passes, so the stream never
// misses one and no route has to remember to tell it. No Windows header.
#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "rules/json_types.h"

namespace zelvo_host {

struct NamedEvent {
    std::string kind;
    Json data = Json::object();
};

class LedgerEvents {
public:
    // The event a journal entry makes, if any. Requests are remembered until
    // their answer, which makes the event.
    [[nodiscard]] std::optional<NamedEvent> of(const Json& line);

private:
    [[nodiscard]] std::optional<NamedEvent> ofAnswer(const Json& line);

    // Requests awaiting their answer, by sequence number: one at a time in
    // practice; the bound only guards against a journal of odd lines.
    std::map<std::int64_t, Json> requests_;
};

}  // namespace zelvo_host
