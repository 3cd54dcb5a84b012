// The order pages' behaviour: on a click of the order button, the client's
// chain of modal pop-ups, as the order desk's script asks for it.
#pragma once
#include <memory>
#include <string>

#include "page.h"

namespace substitute {

class Client;

// The order behaviour of the page `caption` opens, or null when it is no order page.
std::unique_ptr<PageBehaviour> makeOrderBehaviour(Client& client, const std::string& caption);

}  // namespace substitute
