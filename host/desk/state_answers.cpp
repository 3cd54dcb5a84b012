#include "desk/state_answers.h"

#include <algorithm>

#include "store/clock.h"

namespace zelvo_host {

Json haltJson(const HaltState& halt)
{
    if (!halt.halted) {
        return {{"halted", false}};
    }
    return {{"halted", true}, {"reason", halt.reason}, {"since", halt.since}, {"by", halt.by}};
}

Json switchJson(const SwitchState& armed)
{
    if (!armed.armed) {
        return {{"armed", false}};
    }
    const std::int64_t left = std::max<std::int64_t>(0, armed.deadlineMs - now().epochMs);
    return {{"armed", true},
            {"seconds", armed.seconds},
            {"deadline", instantAt(armed.deadlineMs).local},
            {"remaining_seconds", static_cast<double>(left) / 1000.0}};
}

}  // namespace zelvo_host
