// Orders the client accepts, listed where a real client lists them: in its
// today's orders and its cancel list, each with its contract number as the
// order number and its price as the client shows prices ("10.500").
#pragma once
#include "client.h"

namespace substitute {

// From now on every order the client accepts joins those lists.
void listAcceptedOrders(Client& client);

}  // namespace substitute
