// What the routes work with: the loaded library, the token, the ledger (the
// journal and the trading state rebuilt from it) and the service's data
// folder. Owned by the service thread and used by it alone.
#pragma once
#include <cstdint>
#include <string>

#include "ledger.h"
#include "zelvo_library.h"

namespace zelvo_host {

struct ServiceContext {
    ZelvoLibrary library;
    Ledger ledger;
    std::string token;
    std::uint16_t port = 0;
    std::wstring limitsFile;  // limits.json in the data folder
};

}  // namespace zelvo_host
