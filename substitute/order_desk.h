// The substitute client's order pages: their controls, the scripted flow of
// prompts an order click runs, and the record of what was done to them.
#pragma once
#include <memory>
#include <mutex>
#include <string>

#include "page.h"

namespace substitute {

class Client;

// Scripts and records of every order page of one client.
struct OrderDesk {
    mutable std::mutex mutex;
};

// The order behaviour of the page `caption` opens, or null when it is no order page.
std::unique_ptr<PageBehaviour> makeOrderBehaviour(Client& client, const std::string& caption);

}  // namespace substitute
