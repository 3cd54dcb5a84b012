// zelvo-load's command line.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "host_protocol.h"

namespace zelvo_load {

struct Options {
    DWORD processId = 0;
    unsigned port = zelvo_host::defaultPort;
    bool portGiven = false;  // else the book of ports in the data folder decides
    std::wstring dataDir;
    std::uint32_t pollMs = zelvo_host::defaultPollMs;
    bool list = false;
    bool version = false;
    bool watch = false;
    bool once = false;
};

extern const wchar_t usageText[];

// False when the arguments are not understood or do not go together (the
// usage is then shown).
[[nodiscard]] bool parseOptions(int argc, wchar_t** argv, Options& options);

}  // namespace zelvo_load
