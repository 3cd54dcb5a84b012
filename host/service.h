// Starting the service: the thread that owns zelvo.dll, the token file, the
// journal and the HTTP server, and the handshake that tells the starter
// whether it listens.
#pragma once
#include "host_protocol.h"

namespace zelvo_host {

// Starts the service thread for `params` and waits (at most 30 s) until it
// listens or reports why it cannot, writing what is wrong into
// params.problem when it can say more. A second start while one service runs
// answers AlreadyRunning; a start after a failed one tries again.
[[nodiscard]] StartResult startService(StartParams& params) noexcept;

}  // namespace zelvo_host
