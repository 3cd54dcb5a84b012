// What every route is handed, and the one shape of a route's handler. The
// context holds the parts of the service a route passes on: each route gives
// each desk function only the parts that function takes (the ledger, the
// library, the feed), never the whole; the access checks compare with the
// token, the port and the page's sessions. Owned by the wiring (service.cpp)
// and used on the service thread alone.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "desk/event_feed.h"
#include "http/http_types.h"
#include "rules/json_types.h"
#include "rules/web_sessions.h"
#include "store/ledger.h"
#include "store/zelvo_library.h"

namespace zelvo_host {

struct RouteContext {
    ZelvoDll& dll;
    Ledger& ledger;
    EventFeed& feed;
    WebSessions& web;
    const std::string& token;
    std::uint16_t port = 0;
    const std::wstring& limitsFile;  // the port's limits file in the data folder (store/limits_file.h)
};

// One request as its route sees it.
struct RouteCall {
    const HttpRequest& request;
    const Json& body;       // the body's JSON object; empty for a GET or an empty body
    std::string_view name;  // the path's one named segment (percent-decoded); empty for a route without one
};

using RouteHandler = HttpReply (*)(RouteContext& context, const RouteCall& call);

}  // namespace zelvo_host
