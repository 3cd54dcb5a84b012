// Starting the service in one trading client's process: the checks that
// can refuse before anything is loaded, zelvo-host.dll loaded with a remote
// thread on LoadLibraryW, ZelvoHost_Start run with a second one, and the
// wait until the service answers its status route.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host_protocol.h"

namespace zelvo_load {

// The loader's exit codes; the start's outcomes use those from NoClient on.
enum ExitCode {
    Started = 0,
    Usage = 1,
    NoClient = 2,
    BitnessDiffers = 3,
    AlreadyRunning = 4,
    PortTaken = 5,
    LoadFailed = 6,
    SeveralClients = 7,
    NoAnswer = 8,
    WatcherRunning = 9,
};

struct StartRequest {
    DWORD processId = 0;
    unsigned port = zelvo_host::defaultPort;
    std::wstring dataDir;  // the folder as given; empty: the default
    std::uint32_t pollMs = zelvo_host::defaultPollMs;
};

struct StartOutcome {
    int code = Started;    // an ExitCode
    std::wstring message;  // why it did not start
    // The started service's (or with AlreadyRunning, the running one's) port and files.
    unsigned port = 0;
    std::wstring tokenFile;
    std::wstring journal;
};

[[nodiscard]] StartOutcome startInClient(const StartRequest& request);

// The running service's port and token file, when this process has one.
[[nodiscard]] bool findRunningService(DWORD processId, zelvo_host::Published& published);

// The ports of the services running in the trading clients now.
[[nodiscard]] std::vector<unsigned> runningServicePorts();

// The folder of the token file, the journal and the limits file as a full path
// without a trailing separator; empty when it cannot be one.
[[nodiscard]] std::wstring resolveDataDir(const std::wstring& given);

[[nodiscard]] std::string readToken(const std::wstring& path);

[[nodiscard]] std::wstring address(unsigned port);

}  // namespace zelvo_load
