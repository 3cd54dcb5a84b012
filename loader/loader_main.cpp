// zelvo-load: starts the Zelvo service inside a running trading client.
//
//   zelvo-load --watch [--once] [--port PORT] [--dir FOLDER] [--poll-seconds S]
//   zelvo-load [--pid PID] [--port PORT] [--dir FOLDER] [--poll-seconds S]
//   zelvo-load --list [--dir FOLDER]
//   zelvo-load --version
//
// Finds the client by its main frame's window class (or takes --pid), checks
// that it can be served, loads zelvo-host.dll (from this program's folder)
// into it with a remote thread on LoadLibraryW, starts the service with a
// second remote thread on ZelvoHost_Start, waits until the service answers
// its status route, and prints its address, the token file's path and a
// one-time address that signs a browser in to the operator page. The port is
// --port, or the one the book of ports gives the client's program
// (port_book.h). --watch does the same for every client that appears, for as
// long as it runs (client_watch.h).
//
// Exit codes: 0 started, 1 usage, 2 no client, 3 bitness differs,
// 4 the service already runs there (its address is printed), 5 port taken,
// 6 loading or starting failed, 7 several clients (give --pid),
// 8 the service did not answer, 9 another watcher runs.
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "booked_start.h"
#include "client_process.h"
#include "client_watch.h"
#include "console_text.h"
#include "loader_options.h"
#include "port_book.h"
#include "service_probe.h"
#include "service_start.h"
#include "zelvo_version.h"

namespace {

using namespace zelvo_load;

// The address, the token file, and a new one-time address for the operator
// page (the one printed before is spent by it), as Jupyter prints its own.
void printService(unsigned port, const std::wstring& tokenFile)
{
    write(stdout, L"address: " + address(port) + L"\ntoken file: " + tokenFile + L"\n");
    const std::string link = loginLink(static_cast<std::uint16_t>(port), readToken(tokenFile));
    if (!link.empty()) {
        write(stdout, L"operator page (open once to sign in): " + fromAscii(link.c_str()) + L"\n");
    }
}

// One line a client: its process id, its service's port, whether the
// service runs ("running") or that port is the one the book gives its next
// start ("booked"; "new" and "-" when the book has none), its program and title.
[[nodiscard]] int listClients(const Options& options)
{
    std::wstring problem;
    const PortBook book = readPortBook(resolveDataDir(options.dataDir) + L"\\" + portBookName, problem);
    if (!problem.empty()) {
        fail(Usage, problem);
    }
    const std::vector<unsigned> held = runningServicePorts();
    for (const ClientWindow& client : findClients()) {
        const std::wstring program = programPath(client.processId);
        zelvo_host::Published running;
        const bool runs = findRunningService(client.processId, running);
        const unsigned port = runs ? running.port : bookedPort(book, program, held);
        write(stdout, std::to_wstring(client.processId) + L"\t" + (port != 0 ? std::to_wstring(port) : L"-") + L"\t" +
                          (runs ? L"running" : port != 0 ? L"booked" : L"new") + L"\t" + program + L"\t" + client.title +
                          L"\n");
    }
    return Started;
}

// The client to serve: the one named, or the only one running.
[[nodiscard]] int chooseClient(Options& options)
{
    if (options.processId != 0) {
        return Started;
    }
    const std::vector<ClientWindow> clients = findClients();
    if (clients.empty()) {
        return fail(NoClient, std::wstring(L"no trading client is running (no window of class ") + clientWindowClass +
                                  L"); start the client first, or name its process with --pid");
    }
    if (clients.size() > 1) {
        std::wstring ids;
        for (const ClientWindow& client : clients) {
            ids += (ids.empty() ? L"" : L", ") + std::to_wstring(client.processId);
        }
        return fail(SeveralClients, L"several trading clients are running (processes " + ids + L"); choose one with --pid");
    }
    options.processId = clients.front().processId;
    return Started;
}

[[nodiscard]] int serve(Options options)
{
    if (const int chosen = chooseClient(options); chosen != Started) {
        return chosen;
    }
    std::wstring warning;
    const StartOutcome outcome =
        options.portGiven ? startInClient({options.processId, options.port, options.dataDir, options.pollMs})
                          : startAtBookedPort({options.processId, resolveDataDir(options.dataDir), options.port, options.pollMs},
                                              warning);
    if (!warning.empty()) {
        write(stderr, L"zelvo-load: " + warning + L"\n");
    }
    if (outcome.code == AlreadyRunning) {
        printService(outcome.port, outcome.tokenFile);
    }
    if (outcome.code != Started) {
        return fail(outcome.code, outcome.message);
    }
    write(stdout, L"Zelvo service started in process " + std::to_wstring(options.processId) + L"\n");
    printService(outcome.port, outcome.tokenFile);
    write(stdout, L"journal: " + outcome.journal + L"\n");
    return Started;
}

}  // namespace

int main()
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    const zelvo_common::UniqueLocalMemory arguments(argv);
    if (argv == nullptr) {
        return Usage;
    }
    Options options;
    if (!parseOptions(argc, argv, options)) {
        write(stderr, usageText);
        return Usage;
    }
    if (options.version) {
        write(stdout, L"zelvo-load " ZELVO_VERSION_TEXT L"\n");
        return Started;
    }
    try {
        if (options.watch) {
            const std::wstring dataDir = resolveDataDir(options.dataDir);
            if (dataDir.empty()) {
                return fail(Usage, L"the data folder is missing or too long; give one with --dir");
            }
            return watchClients({options.port, dataDir, options.pollMs, options.once});
        }
        return options.list ? listClients(options) : serve(options);
    } catch (...) {
        return fail(LoadFailed, L"internal error");
    }
}
