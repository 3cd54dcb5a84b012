// What the routes work with: the loaded library, the token, the order
// journal and the answers given to callers' order ids. Owned by the service
// thread and used by it alone.
#pragma once
#include <cstdint>
#include <map>
#include <string>

#include "journal.h"
#include "zelvo_library.h"

namespace zelvo_host {

// The first answer to a caller's order id, given again to a retry.
struct RememberedOrder {
    std::string request;  // the order's fields as JSON text, to tell a retry from a different order
    std::string answer;   // the answer as JSON text
};

struct ServiceContext {
    ZelvoLibrary library;
    Journal journal;
    std::string token;
    std::uint16_t port = 0;
    std::int64_t journalSequence = 0;
    // Kept for the service's lifetime: an order id is never used twice
    // while the client runs.
    std::map<std::string, RememberedOrder> orders;
};

}  // namespace zelvo_host
