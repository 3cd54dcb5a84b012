// The halt and the dead man's switch as the answers show them (the status,
// the halt and switch routes, an order refused while halted).
#pragma once
#include "rules/json_types.h"
#include "rules/trading_state.h"

namespace zelvo_host {

[[nodiscard]] Json haltJson(const HaltState& halt);
// The switch: when armed, the time left until it fires (on the steady clock)
// and the local time that will be; while a fired switch's cancels are
// outstanding, when it fired and what its tries came to.
[[nodiscard]] Json switchJson(const TradingState& state);

}  // namespace zelvo_host
