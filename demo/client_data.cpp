#include "client_data.h"

namespace demo {

substitute::ClientSetup demoClientSetup(substitute::Broker broker, bool credit)
{
    return substitute::editionClient(broker, credit);
}

void fillDemoData(substitute::Client&)
{
}

}  // namespace demo
