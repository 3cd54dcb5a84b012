// The substitute client's query pages: status texts, query buttons, funds
// texts and lists, the scripted answers to a query click, and the record of
// what was done to them.
#pragma once
#include <memory>
#include <mutex>
#include <string>

#include "page.h"

namespace substitute {

class Client;

// Contents, scripts and records of every query page of one client.
struct QueryDesk {
    mutable std::mutex mutex;
};

// The query behaviour of the page `caption` opens, or null when it is no query page.
std::unique_ptr<PageBehaviour> makeQueryBehaviour(Client& client, const std::string& caption);

}  // namespace substitute
