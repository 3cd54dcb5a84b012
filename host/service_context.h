// What the routes work with: the loaded library, the token, the ledger (the
// journal and the trading state rebuilt from it), the service's data
// folder, the event stream and the operator page's sessions. Owned by the
// service thread and used by it alone.
#pragma once
#include <cstdint>
#include <string>

#include "store/clock.h"
#include "desk/event_feed.h"
#include "store/ledger.h"
#include "store/secrets.h"
#include "rules/web_sessions.h"
#include "store/zelvo_library.h"

namespace zelvo_host {

// Recent events kept for listeners that reconnect.
constexpr std::size_t keptEvents = 1000;

struct ServiceContext {
    ZelvoLibrary library;
    Ledger ledger;
    std::string token;
    std::uint16_t port = 0;
    std::wstring limitsFile;  // limits.json in the data folder
    // This run's ids are told from another run's by the time it started.
    EventFeed events{std::to_string(now().epochMs), keptEvents};
    WebSessions web{newToken, tokensEqual};
};

}  // namespace zelvo_host
