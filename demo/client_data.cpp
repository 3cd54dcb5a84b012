#include "client_data.h"

#include "order_listing.h"

namespace demo {

substitute::ClientSetup demoClientSetup(substitute::Broker broker, bool credit)
{
    return substitute::editionClient(broker, credit);
}

// Every order the client accepts joins its today's orders, as in a real
// client, so the demo can list it and cancel it.
void fillDemoData(substitute::Client& client)
{
    substitute::listAcceptedOrders(client);
}

}  // namespace demo
