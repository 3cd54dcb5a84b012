// zelvo-load --watch: stays running and starts the service in every trading
// client that appears (those running at its start, and each new or restarted
// one once its main frame exists), each at the address its program has in
// the book of ports. It notes each event (client seen, service started,
// client gone, a start that failed) with the time, on its output and in
// zelvo-load.log in the data folder. One watcher runs per Windows session;
// Ctrl+C (or the console closing, a logoff) ends it.
#pragma once
#include <cstdint>
#include <string>

namespace zelvo_load {

constexpr wchar_t watchLogName[] = L"zelvo-load.log";

struct WatchOptions {
    unsigned firstPort = 0;    // where new entries of the book start
    std::wstring dataDir;      // resolved: full path, no trailing separator
    std::uint32_t pollMs = 0;  // handed to each service
    bool once = false;         // one round over the clients running now, then exit
};

// Until stopped; an ExitCode. With `once`: Started when every client running
// has a service afterwards, NoClient when none runs, else the code of a start
// that failed.
[[nodiscard]] int watchClients(const WatchOptions& options);

}  // namespace zelvo_load
