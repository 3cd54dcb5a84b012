// The service's polls of the client for the event stream: today's trades
// and today's orders, read at the feed's interval while anyone listens,
// on the service thread between requests (so never during an order). What
// they find new goes to the listeners; the order numbers they show are
// remembered as every list of orders is (trading_desk.h).
#pragma once
#include <string>

#include "desk/event_feed.h"
#include "store/ledger.h"
#include "store/zelvo_library.h"

namespace zelvo_host {

// Called by the service's timer: polls when a poll is due (see
// EventFeed::pollDue), and sends the listeners a keep-alive now and then.
void pollClientIfDue(EventFeed& feed, Ledger& ledger, ZelvoDll& dll, bool requestWaiting);

// Tells the listeners of the client's state ("attached", "logged_out", ...:
// see clientStateOf) when it changed: after a login, a logout or a poll.
void noteClientState(EventFeed& feed, const std::string& state, const std::string& message);

}  // namespace zelvo_host
