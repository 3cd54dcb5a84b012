// Orders the client accepts, listed where a real client lists them: in its
// today's orders and its cancel list, each with its contract number as the
// order number and its price as the client shows prices ("10.500").
#pragma once
#include "client.h"

namespace substitute {

// From now on every order the client accepts joins those lists.
void listAcceptedOrders(Client& client);

// The order `number` of today's orders filled: its status text "已成", its
// filled quantity the whole, and a row of today's trades with the next trade
// number. False when no listed order has that number.
bool fillListedOrder(Client& client, int number);

// The status text of the order `number` in today's orders and the cancel
// list (GBK); false when no listed order has that number.
bool setListedStatus(Client& client, int number, const std::string& status);

}  // namespace substitute
