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
    std::wstring dataDir;
    std::uint32_t pollMs = zelvo_host::defaultPollMs;
    bool list = false;
    bool version = false;
};

extern const wchar_t usageText[];

// False when the arguments are not understood (the usage is then shown).
[[nodiscard]] bool parseOptions(int argc, wchar_t** argv, Options& options);

}  // namespace zelvo_load
