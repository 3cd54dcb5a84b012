// The substitute client's cancel flow on its today's-orders page: a double
// click on a row runs the client's cancel prompts, as scripted, and records
// what it received.
#pragma once
#include <memory>
#include <mutex>
#include <string>

#include "page.h"

namespace substitute {

class Client;

struct CancelDesk {
    mutable std::mutex mutex;
};

// The cancel behaviour of the page `caption` opens, or null when it is not
// the today's-orders page.
std::unique_ptr<PageBehaviour> makeCancelBehaviour(Client& client, const std::string& caption);

}  // namespace substitute
