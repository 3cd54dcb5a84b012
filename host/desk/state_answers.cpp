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

Json switchJson(const TradingState& state)
{
    const SwitchState& armed = state.deadMansSwitch();
    Json json = {{"armed", armed.armed}};
    if (armed.armed) {
        const std::int64_t left = std::max<std::int64_t>(0, armed.deadlineSteadyMs - steadyMs());
        json.update({{"seconds", armed.seconds},
                     {"deadline", instantAt(now().epochMs + left).local},
                     {"remaining_seconds", static_cast<double>(left) / 1000.0}});
    }
    const SwitchFiring& firing = state.switchFiring();
    if (firing.outstanding) {
        json["cancels_outstanding"] = {{"fired", firing.since},
                                       {"seconds", firing.seconds},
                                       {"attempts", firing.attempts},
                                       {"message", firing.lastMessage}};
    }
    return json;
}

}  // namespace zelvo_host
