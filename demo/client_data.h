// What the demo's substitute client shows: an edition with funds, positions
// and an order book that the demo's orders and cancels change.
#pragma once
#include "editions.h"

namespace demo {

substitute::ClientSetup demoClientSetup(substitute::Broker broker, bool credit);
void fillDemoData(substitute::Client& client);

}  // namespace demo
