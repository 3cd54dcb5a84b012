// zelvo-load: starts the Zelvo service inside a running trading client.
//
//   zelvo-load [--pid PID] [--port PORT] [--dir FOLDER] [--poll-seconds S]
//   zelvo-load --list
//   zelvo-load --version
//
// Finds the client by its main frame's window class (or takes --pid), checks
// that it can be served, loads zelvo-host.dll (from this program's folder)
// into it with a remote thread on LoadLibraryW, starts the service with a
// second remote thread on ZelvoHost_Start, waits until the service answers
// its status route, and prints its address, the token file's path and a
// one-time address that signs a browser in to the operator page.
//
// Exit codes: 0 started, 1 usage, 2 no client, 3 bitness differs,
// 4 the service already runs there (its address is printed), 5 port taken,
// 6 loading or starting failed, 7 several clients (give --pid),
// 8 the service did not answer.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "client_process.h"
#include "gbk_text.h"
#include "host_protocol.h"
#include "module_folder.h"
#include "service_probe.h"
#include "zelvo_version.h"

namespace {

using namespace zelvo_load;
using zelvo_host::StartParams;
using zelvo_host::StartResult;

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
};

constexpr DWORD loadBoundMs = 30000;
constexpr DWORD startBoundMs = 40000;  // the host's own start bound is 30 s
constexpr unsigned statusBoundMs = 10000;

struct Options {
    DWORD processId = 0;
    unsigned port = zelvo_host::defaultPort;
    std::wstring dataDir;
    std::uint32_t pollMs = zelvo_host::defaultPollMs;
    bool list = false;
    bool version = false;
};

// Text in the console's own way: UTF-16 to a console, the ANSI code page to
// a file or a pipe (as Windows programs write).
void write(FILE* stream, const std::wstring& text)
{
    const HANDLE handle = GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(handle, &mode)) {
        WriteConsoleW(handle, text.c_str(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    const std::string bytes = zelvo_common::wideToAnsiForDisplay(text);
    std::fwrite(bytes.data(), 1, bytes.size(), stream);
    std::fflush(stream);
}

int fail(ExitCode code, const std::wstring& message)
{
    write(stderr, L"zelvo-load: " + message + L"\n");
    return code;
}

const wchar_t usageText[] =
    L"usage: zelvo-load [--pid PID] [--port PORT] [--dir FOLDER] [--poll-seconds S]\n"
    L"       zelvo-load --list | --version\n"
    L"  --pid PID     the client's process id (default: the one client running)\n"
    L"  --port PORT   the service's port on 127.0.0.1 (default 18766)\n"
    L"  --dir FOLDER  where the token file, the journal and limits.json go (default %LOCALAPPDATA%\\Zelvo)\n"
    L"  --poll-seconds S  how often the client's trades and orders are read for the event stream\n"
    L"                while anyone listens (default 3; 0.2 to 60)\n"
    L"  --list        list the running clients' process ids and titles\n"
    L"  --version     print the version\n";

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

[[nodiscard]] bool parseOptions(int argc, wchar_t** argv, Options& options)
{
    for (int index = 1; index < argc; ++index) {
        const std::wstring name = argv[index];
        const bool hasValue = index + 1 < argc;
        unsigned long number = 0;
        if (name == L"--list") {
            options.list = true;
        } else if (name == L"--version") {
            options.version = true;
        } else if (name == L"--pid" && hasValue && parseNumber(argv[++index], 0xFFFFFFFFul, number)) {
            options.processId = static_cast<DWORD>(number);
        } else if (name == L"--port" && hasValue && parseNumber(argv[++index], 65535, number)) {
            options.port = static_cast<unsigned>(number);
        } else if (name == L"--poll-seconds" && hasValue && parseSeconds(argv[++index], options.pollMs)) {
            // read into options.pollMs
        } else if (name == L"--dir" && hasValue) {
            options.dataDir = argv[++index];
        } else {
            return false;
        }
    }
    return true;
}

[[nodiscard]] std::wstring fullPath(const std::wstring& path)
{
    wchar_t full[MAX_PATH] = {};
    const DWORD length = GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
    return length > 0 && length < MAX_PATH ? std::wstring(full, length) : std::wstring();
}

[[nodiscard]] std::wstring defaultDataDir()
{
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder))) {
        return {};
    }
    return std::wstring(folder) + L"\\Zelvo";
}

[[nodiscard]] bool fileExists(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

[[nodiscard]] std::wstring address(unsigned port)
{
    return L"http://127.0.0.1:" + std::to_wstring(port);
}

[[nodiscard]] std::wstring fromAnsi(const char* text)
{
    std::wstring wide(std::strlen(text), L'\0');
    for (size_t index = 0; index < wide.size(); ++index) {
        wide[index] = static_cast<unsigned char>(text[index]);
    }
    return wide;
}

[[nodiscard]] std::string readToken(const std::wstring& path)
{
    const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    char text[256] = {};
    DWORD read = 0;
    if (!file || !ReadFile(file.get(), text, sizeof text - 1, &read, nullptr)) {
        return {};
    }
    return std::string(text, read);
}

// The address, the token file, and a new one-time address for the operator
// page (the one printed before is spent by it), as Jupyter prints its own.
void printService(unsigned port, const std::wstring& tokenFile)
{
    write(stdout, L"address: " + address(port) + L"\ntoken file: " + tokenFile + L"\n");
    const std::string link = loginLink(static_cast<std::uint16_t>(port), readToken(tokenFile));
    if (!link.empty()) {
        write(stdout, L"operator page (open once to sign in): " + fromAnsi(link.c_str()) + L"\n");
    }
}

[[nodiscard]] int listClients()
{
    for (const ClientWindow& client : findClients()) {
        write(stdout, std::to_wstring(client.processId) + L"\t" + client.title + L"\n");
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

// The running service's port and token file, when this process has one.
[[nodiscard]] bool findRunningService(DWORD processId, zelvo_host::Published& published)
{
    const UniqueHandle mapping(OpenFileMappingW(FILE_MAP_READ, FALSE, zelvo_host::publishedBlockName(processId).c_str()));
    if (!mapping) {
        return false;
    }
    const zelvo_common::UniqueMappedView view(MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, sizeof(zelvo_host::Published)));
    if (!view) {
        return false;
    }
    published = *static_cast<const zelvo_host::Published*>(view.get());
    published.tokenFile[MAX_PATH - 1] = L'\0';
    return published.size == sizeof(zelvo_host::Published) && published.port != 0;
}

// Loads the host DLL into the client; false (with the message printed) on failure.
[[nodiscard]] bool loadHost(HANDLE process, const std::wstring& hostPath)
{
    const SIZE_T bytes = (hostPath.size() + 1) * sizeof(wchar_t);
    RemoteMemory path(process, bytes);
    if (!path.write(hostPath.c_str(), bytes)) {
        fail(LoadFailed, L"cannot write into the client's memory");
        return false;
    }
    // kernel32 sits at the same address in every process of one bitness.
    void* const loadLibrary = reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "LoadLibraryW"));
    DWORD exitCode = 0;
    const RemoteRun run = runRemoteThread(process, loadLibrary, path.address(), loadBoundMs, exitCode);
    if (run == RemoteRun::TimedOut) {
        path.leave();  // the client's thread may still read the path
        fail(LoadFailed, L"the client did not finish loading zelvo-host.dll within 30 s");
        return false;
    }
    if (run == RemoteRun::Failed) {
        fail(LoadFailed, L"cannot start a thread in the client");
        return false;
    }
    return true;
}

// Runs ZelvoHost_Start in the client; the service's StartResult, or
// InternalError. The problem text the service wrote back is read into `params`.
[[nodiscard]] StartResult startHost(HANDLE process, DWORD processId, const std::wstring& hostPath, StartParams& params)
{
    const ULONG_PTR offset = exportOffset(hostPath, zelvo_host::startExportName);
    auto* const base = static_cast<BYTE*>(remoteModuleBase(processId, zelvo_host::hostDllName));
    if (offset == 0 || base == nullptr) {
        fail(LoadFailed, L"zelvo-host.dll did not load in the client (is zelvo.dll beside it, and of the client's bitness?)");
        return StartResult::InternalError;
    }
    RemoteMemory block(process, sizeof params);
    if (!block.write(&params, sizeof params)) {
        fail(LoadFailed, L"cannot write into the client's memory");
        return StartResult::InternalError;
    }
    DWORD exitCode = 0;
    const RemoteRun run = runRemoteThread(process, base + offset, block.address(), startBoundMs, exitCode);
    if (run != RemoteRun::Finished) {
        if (run == RemoteRun::TimedOut) {
            block.leave();
        }
        fail(LoadFailed, L"the service's start did not finish");
        return StartResult::InternalError;
    }
    if (!block.read(&params, sizeof params)) {
        params.problem[0] = L'\0';
    }
    params.problem[sizeof params.problem / sizeof params.problem[0] - 1] = L'\0';
    return static_cast<StartResult>(exitCode);
}

[[nodiscard]] int serve(Options options)
{
    if (const int chosen = chooseClient(options); chosen != Started) {
        return chosen;
    }
    const UniqueHandle process = openClient(options.processId);
    if (!process) {
        return fail(NoClient, L"no process with id " + std::to_wstring(options.processId) +
                                  L" can be opened (error " + std::to_wstring(GetLastError()) + L")");
    }
    if (!sameBitness(process.get())) {
        return fail(BitnessDiffers, L"process " + std::to_wstring(options.processId) + L" is a " +
                                        (sizeof(void*) == 8 ? L"32" : L"64") + L"-bit process and this loader is " +
                                        (sizeof(void*) == 8 ? L"64" : L"32") +
                                        L"-bit; use the loader, zelvo-host.dll and zelvo.dll of the client's bitness");
    }
    if (zelvo_host::Published running; findRunningService(options.processId, running)) {
        printService(running.port, running.tokenFile);
        return fail(AlreadyRunning, L"the service already runs in process " + std::to_wstring(options.processId) +
                                        L" at " + address(running.port));
    }
    if (!portIsFree(static_cast<std::uint16_t>(options.port))) {
        return fail(PortTaken, L"port " + std::to_wstring(options.port) +
                                   L" on 127.0.0.1 is taken by another program; choose another with --port");
    }
    const std::wstring folder = zelvo_common::moduleFolder(nullptr);
    const std::wstring hostPath = folder + zelvo_host::hostDllName;
    if (!fileExists(hostPath) || !fileExists(folder + zelvo_host::zelvoDllName)) {
        return fail(LoadFailed, L"zelvo-host.dll and zelvo.dll must be in " + folder);
    }
    std::wstring dataDir = fullPath(options.dataDir.empty() ? defaultDataDir() : options.dataDir);
    while (!dataDir.empty() && (dataDir.back() == L'\\' || dataDir.back() == L'/')) {
        dataDir.pop_back();
    }
    if (dataDir.empty() || dataDir.size() >= MAX_PATH - 32) {
        return fail(Usage, L"the folder for the token file is missing or too long; give one with --dir");
    }
    if (!loadHost(process.get(), hostPath)) {
        return LoadFailed;
    }
    StartParams params;
    params.port = options.port;
    params.pollMs = options.pollMs;
    wcsncpy(params.dataDir, dataDir.c_str(), MAX_PATH - 1);
    const StartResult started = startHost(process.get(), options.processId, hostPath, params);
    if (started == StartResult::PortTaken) {
        return fail(PortTaken, L"port " + std::to_wstring(options.port) + L" was taken before the service could use it");
    }
    if (started != StartResult::Started) {
        const std::wstring detail = params.problem[0] != L'\0' ? L": " + std::wstring(params.problem) : L"";
        return fail(LoadFailed, L"the service did not start: " + fromAnsi(zelvo_host::describe(started)) + detail);
    }
    const std::wstring tokenFile = dataDir + L"\\" + zelvo_host::tokenFileName(options.port);
    if (!statusAnswers(static_cast<std::uint16_t>(options.port), readToken(tokenFile), statusBoundMs)) {
        return fail(NoAnswer, L"the service started but did not answer " + address(options.port) + L"/v1/status");
    }
    write(stdout, L"Zelvo service started in process " + std::to_wstring(options.processId) + L"\n");
    printService(options.port, tokenFile);
    write(stdout, L"journal: " + dataDir + L"\\" + zelvo_host::journalFileName(options.port) + L"\n");
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
        return options.list ? listClients() : serve(options);
    } catch (...) {
        return fail(LoadFailed, L"internal error");
    }
}
