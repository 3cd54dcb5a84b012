#include "loader_options.h"

#include <cstdlib>

namespace zelvo_load {

const wchar_t usageText[] =
    L"usage: zelvo-load --watch [--once] [--port PORT] [--dir FOLDER] [--poll-seconds S]\n"
    L"       zelvo-load [--pid PID] [--port PORT] [--dir FOLDER] [--poll-seconds S]\n"
    L"       zelvo-load --list [--dir FOLDER] | --version\n"
    L"  --watch       stay running and start the service in every trading client that appears, and again\n"
    L"                whenever one restarts, each at its own address (Ctrl+C stops)\n"
    L"  --once        with --watch: start it in every client running now that lacks one, then exit\n"
    L"  --pid PID     the client's process id (default: the one client running)\n"
    L"  --port PORT   the service's port on 127.0.0.1; with --watch, or without it and --pid, the first\n"
    L"                port a client's program gets (default 18766): a program keeps its port in\n"
    L"                ports.json in the data folder\n"
    L"  --dir FOLDER  where the token file, the journal, limits-PORT.json, ports.json and zelvo-load.log go\n"
    L"                (default %LOCALAPPDATA%\\Zelvo)\n"
    L"  --poll-seconds S  how often the client's trades and orders are read for the event stream\n"
    L"                while anyone listens (default 3; 0.2 to 60)\n"
    L"  --list        list the running clients: process id, port, whether the service runs, program, title\n"
    L"  --version     print the version\n";

namespace {

[[nodiscard]] bool parseNumber(const wchar_t* text, unsigned long maximum, unsigned long& value)
{
    wchar_t* end = nullptr;
    value = std::wcstoul(text, &end, 10);
    return end != text && *end == L'\0' && value >= 1 && value <= maximum;
}

// Seconds with a fraction ("0.5"), as whole milliseconds within the service's bounds.
[[nodiscard]] bool parseSeconds(const wchar_t* text, std::uint32_t& milliseconds)
{
    wchar_t* end = nullptr;
    const double seconds = std::wcstod(text, &end);
    if (end == text || *end != L'\0' || !(seconds * 1000.0 >= zelvo_host::minPollMs) || seconds * 1000.0 > zelvo_host::maxPollMs) {
        return false;
    }
    milliseconds = static_cast<std::uint32_t>(seconds * 1000.0 + 0.5);
    return true;
}

}  // namespace

bool parseOptions(int argc, wchar_t** argv, Options& options)
{
    for (int index = 1; index < argc; ++index) {
        const std::wstring name = argv[index];
        const bool hasValue = index + 1 < argc;
        unsigned long number = 0;
        if (name == L"--list") {
            options.list = true;
        } else if (name == L"--watch") {
            options.watch = true;
        } else if (name == L"--once") {
            options.once = true;
        } else if (name == L"--version") {
            options.version = true;
        } else if (name == L"--pid" && hasValue && parseNumber(argv[++index], 0xFFFFFFFFul, number)) {
            options.processId = static_cast<DWORD>(number);
        } else if (name == L"--port" && hasValue && parseNumber(argv[++index], 65535, number)) {
            options.port = static_cast<unsigned>(number);
            options.portGiven = true;
        } else if (name == L"--poll-seconds" && hasValue && parseSeconds(argv[++index], options.pollMs)) {
            // read into options.pollMs
        } else if (name == L"--dir" && hasValue) {
            options.dataDir = argv[++index];
        } else {
            return false;
        }
    }
    // A watcher serves every client, each on the port of its program.
    return !(options.once && !options.watch) && !(options.watch && (options.processId != 0 || options.list));
}

}  // namespace zelvo_load
