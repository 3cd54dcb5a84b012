#include "service.h"

#include <winsock2.h>
#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <atomic>
#include <cwchar>
#include <memory>

#include "desk/client_polls.h"
#include "handles.h"
#include "store/limits_file.h"
#include "module_folder.h"
#include "platform/com.h"
#include "http/http_server.h"
#include "routes/route_table.h"
#include "store/secrets.h"
#include "service_context.h"
#include "desk/trading_desk.h"
#include "zelvo_version.h"

namespace zelvo_host {

namespace {

using zelvo_common::UniqueEvent;
using zelvo_common::UniqueHandle;
using zelvo_common::UniqueMappedView;

constexpr DWORD startBoundMs = 30000;
// How often the service looks at the dead man's switch, and whether a poll
// for the event stream is due, between requests.
constexpr unsigned tickMs = 200;

enum ServiceState : LONG { Idle = 0, Starting = 1, Running = 2 };
std::atomic<LONG> serviceState{Idle};

// Shared by the starter and the service thread; either may outlive the other.
struct Handshake {
    StartParams params;
    UniqueEvent ready = zelvo_common::createEvent(zelvo_common::EventReset::Manual, false);
    std::atomic<DWORD> result{static_cast<DWORD>(StartResult::StartTimeout)};

    // `problem`: UTF-8 text for the loader to print.
    void report(StartResult outcome, const std::string& problem = {})
    {
        constexpr int capacity = sizeof params.problem / sizeof params.problem[0];
        // At most as many bytes as there are characters of room: the text always fits.
        const int bytes = static_cast<int>(std::min<size_t>(problem.size(), capacity - 1));
        const int length = MultiByteToWideChar(CP_UTF8, 0, problem.data(), bytes, params.problem, capacity - 1);
        params.problem[length > 0 ? length : 0] = L'\0';
        result = static_cast<DWORD>(outcome);
        serviceState = outcome == StartResult::Started ? Running : Idle;
        SetEvent(ready.get());
    }
};

class WinsockScope {
public:
    WinsockScope() noexcept
    {
        WSADATA data;
        started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    ~WinsockScope()
    {
        if (started_) {
            WSACleanup();
        }
    }
    WinsockScope(const WinsockScope&) = delete;
    WinsockScope& operator=(const WinsockScope&) = delete;
    [[nodiscard]] bool started() const noexcept { return started_; }

private:
    bool started_ = false;
};

// The folder zelvo-host.dll was loaded from, with its trailing backslash.
[[nodiscard]] std::wstring hostFolder()
{
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&startService), &self);
    return zelvo_common::moduleFolder(self);
}

[[nodiscard]] std::wstring withSlash(std::wstring folder)
{
    if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/') {
        folder += L'\\';
    }
    return folder;
}

// The block a later loader reads to find this service. Kept open for the
// process's lifetime by the service thread.
struct PublishedBlock {
    UniqueHandle mapping;
    UniqueMappedView view;
};

[[nodiscard]] bool publish(PublishedBlock& block, std::uint16_t port, const std::wstring& tokenFile)
{
    const std::wstring name = publishedBlockName(GetCurrentProcessId());
    block.mapping.reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(Published), name.c_str()));
    if (!block.mapping) {
        return false;
    }
    block.view.reset(MapViewOfFile(block.mapping.get(), FILE_MAP_WRITE, 0, 0, sizeof(Published)));
    if (!block.view) {
        return false;
    }
    Published published;
    published.port = port;
    wcsncpy(published.tokenFile, tokenFile.c_str(), MAX_PATH - 1);
    *static_cast<Published*>(block.view.get()) = published;
    return true;
}

// The limits in force from the start: limits.json's, else the defaults.
// Never no limits: a file that is not valid stops the start (its problem
// names what is wrong).
[[nodiscard]] LimitsFile readStartLimits(const std::wstring& folder, ServiceContext& context)
{
    context.limitsFile = folder + limitsFileName;
    return readLimitsFile(context.limitsFile);
}

// The journal read back into the ledger, and this start's events: the
// limits now in force and the start itself.
[[nodiscard]] bool openLedger(const std::wstring& path, ServiceContext& context, const Limits& limits, bool fromFile)
{
    if (!context.ledger.open(path)) {
        return false;
    }
    return context.ledger.commit(events::limits(limits, fromFile ? "file" : "defaults")) >= 0 &&
           context.ledger.commit(events::start(ZELVO_VERSION_TEXT, context.ledger.damagedLines())) >= 0;
}

// Everything the service needs before it can answer, in the order that
// leaves nothing behind on a failure: the library, the port, the limits,
// then the token file and the journal (an existing service's files on that
// port are never overwritten because the port is taken first).
[[nodiscard]] StartResult prepare(const StartParams& params, ServiceContext& context, HttpServerPtr& server,
                                  std::string& problem)
{
    if (!context.library.load(hostFolder() + zelvoDllName)) {
        return StartResult::LibraryMissing;
    }
    BindResult bound = BindResult::Failed;
    server = bindServer(static_cast<std::uint16_t>(params.port), ServerLimits{}, bound);
    if (bound == BindResult::PortTaken) {
        return StartResult::PortTaken;
    }
    if (!server) {
        return StartResult::NetworkFailed;
    }
    context.port = static_cast<std::uint16_t>(params.port);
    const std::wstring folder = withSlash(params.dataDir);
    const LimitsFile limits = readStartLimits(folder, context);
    if (!limits.problem.empty()) {
        problem = limits.problem;
        return StartResult::LimitsInvalid;
    }
    context.token = newToken();
    if (context.token.empty()) {
        return StartResult::InternalError;
    }
    if (!createFolderForUser(folder) || !writeUserOnlyFile(folder + tokenFileName(params.port), context.token) ||
        !openLedger(folder + journalFileName(params.port), context, limits.limits, limits.found)) {
        return StartResult::DataDirUnusable;
    }
    return StartResult::Started;
}

// The event stream: the ledger's changes become events, which go to the
// server's listeners; the client is polled every `pollMs` while any listen.
void connectEvents(ServiceContext& context, HttpServer& server, unsigned pollMs)
{
    context.events.connect([&server](const std::string& text) { publish(server, text); },
                           [&server]() { return listenerCount(server); });
    context.events.setPollInterval(std::chrono::milliseconds(pollMs));
    context.ledger.observe([&context](const Json& line) { context.events.tellLedgerLine(line); });
}

void runService(Handshake& handshake)
{
    const zelvo::ApartmentScope apartment;
    const WinsockScope winsock;
    if (!winsock.started()) {
        handshake.report(StartResult::NetworkFailed);
        return;
    }
    ServiceContext context;
    HttpServerPtr server;
    const StartParams params = handshake.params;
    std::string problem;
    if (const StartResult prepared = prepare(params, context, server, problem); prepared != StartResult::Started) {
        handshake.report(prepared, problem);
        return;
    }
    PublishedBlock block;
    if (!publish(block, context.port, withSlash(params.dataDir) + tokenFileName(params.port))) {
        handshake.report(StartResult::InternalError);
        return;
    }
    connectEvents(context, *server, params.pollMs);
    handshake.report(StartResult::Started);
    const RequestHandler handle = [&context](const HttpRequest& request) { return handleRequest(context, request); };
    const ProtocolErrorReply protocolError = [](int status) { return protocolErrorReply(status); };
    const Tick tick = [&context](bool requestWaiting) noexcept {
        try {
            const bool fired = fireSwitchIfDue(context);
            return pollClientIfDue(context, requestWaiting) || fired;
        } catch (...) {
            return false;  // tried again at the next tick
        }
    };
    serveForever(*server, handle, protocolError, tick, tickMs);
    serviceState = Idle;
}

DWORD WINAPI serviceThread(void* raw) noexcept
{
    const std::unique_ptr<std::shared_ptr<Handshake>> handshake(static_cast<std::shared_ptr<Handshake>*>(raw));
    try {
        runService(**handshake);
    } catch (...) {
        (*handshake)->report(StartResult::InternalError);
    }
    return 0;
}

[[nodiscard]] bool validParams(const StartParams& params)
{
    return params.size == sizeof(StartParams) && params.port >= 1 && params.port <= 65535 &&
           params.pollMs >= minPollMs && params.pollMs <= maxPollMs &&
           params.dataDir[0] != L'\0' && wmemchr(params.dataDir, L'\0', MAX_PATH) != nullptr;
}

}  // namespace

StartResult startService(StartParams& params) noexcept
{
    try {
        if (!validParams(params)) {
            return StartResult::BadParams;
        }
        LONG expected = Idle;
        if (!serviceState.compare_exchange_strong(expected, Starting)) {
            return StartResult::AlreadyRunning;
        }
        auto handshake = std::make_shared<Handshake>();
        handshake->params = params;
        auto* shared = new std::shared_ptr<Handshake>(handshake);
        // The thread runs for the rest of the process's life; its handle is
        // closed here, which does not stop it.
        const UniqueHandle thread(CreateThread(nullptr, 0, serviceThread, shared, 0, nullptr));
        if (!thread) {
            delete shared;
            serviceState = Idle;
            return StartResult::InternalError;
        }
        if (WaitForSingleObject(handshake->ready.get(), startBoundMs) != WAIT_OBJECT_0) {
            return StartResult::StartTimeout;
        }
        wmemcpy(params.problem, handshake->params.problem, sizeof params.problem / sizeof params.problem[0]);
        return static_cast<StartResult>(handshake->result.load());
    } catch (...) {
        serviceState = Idle;
        return StartResult::InternalError;
    }
}

}  // namespace zelvo_host
