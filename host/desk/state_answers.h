// The halt and the dead man's switch as the answers show them (the status,
// the halt and switch routes, an order refused while halted).
#pragma once
#include "rules/json_types.h"
#include "rules/trading_state.h"

namespace zelvo_host {

[[nodiscard]] Json haltJson(const HaltState& halt);
// With the time left until it fires, from now.
[[nodiscard]] Json switchJson(const SwitchState& armed);

}  // namespace zelvo_host
