#include "service.h"

#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cwchar>
#include <memory>

#include "apartment_scope.h"
#include "desk/client_polls.h"
#include "desk/event_feed.h"
#include "desk/order_desk.h"
#include "handles.h"
#include "http/http_server.h"
#include "module_folder.h"
#include "routes/route_context.h"
#include "routes/route_table.h"
#include "rules/web_sessions.h"
#include "store/clock.h"
#include "store/ledger.h"
#include "store/limits_file.h"
#include "store/secrets.h"
#include "store/snapshot_file.h"
#include "store/zelvo_library.h"
#include "zelvo_version.h"

namespace zelvo_host {

namespace {

using zelvo_common::UniqueEvent;
using zelvo_common::UniqueHandle;
using zelvo_common::UniqueMappedView;

constexpr DWORD startBoundMs = 30000;
// The service thread's stack, reserved whatever the client program's default
// is (the size in its header, which may be small). Nothing the service does
// recurses deeply: request bodies and journal lines nest at most
// maxJsonDepth levels.
constexpr SIZE_T serviceStackBytes = 2u << 20;
// Recent events kept for listeners that reconnect.
constexpr std::size_t keptEvents = 1000;
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

// Everything the service is made of, owned by its thread; the routes and the
// timer are handed the parts they use.
struct ServiceParts {
    explicit ServiceParts(std::chrono::milliseconds pollInterval)
        // This run's event ids are told from another run's by the time it started.
        : feed(std::to_string(now().epochMs), keptEvents, pollInterval)
    {
    }

    ZelvoDll dll;
    Ledger ledger;
    EventFeed feed;
    WebSessions web{newToken, tokensEqual};
    std::string token;
    std::uint16_t port = 0;
    std::wstring limitsFile;  // the port's limits file in the data folder
};

// The journal read back into the ledger (from the snapshot on, when there is
// one of it), and this start's entries: the start itself (first, so that a
// line it found cut off at the end is known to be reported by it), the
// limits now in force, and a halt when a damaged line lies among the others.
// Then the snapshot the next start reads; a start goes on without it.
[[nodiscard]] bool openLedger(const std::wstring& path, Ledger& ledger, const Limits& limits, bool fromFile)
{
    const std::wstring snapshotPath = snapshotPathOf(path);
    if (!ledger.open(path, snapshotPath)) {
        return false;
    }
    if (ledger.commit(entries::start(ZELVO_VERSION_TEXT, ledger.damagedLines(), ledger.tornLine())) < 0 ||
        ledger.commit(entries::limits(limits, fromFile ? "file" : "defaults")) < 0) {
        return false;
    }
    const std::optional<std::int64_t> damaged = ledger.unreportedDamage();
    if (damaged && ledger.commit(entries::journalDamaged(*damaged)) < 0) {
        return false;
    }
    (void)ledger.writeSnapshot(snapshotPath);
    return true;
}

// Everything the service needs before it can answer, in the order that
// leaves nothing behind on a failure: the library, the port, the limits,
// then the token file and the journal (an existing service's files on that
// port are never overwritten because the port is taken first).
[[nodiscard]] StartResult prepare(const StartParams& params, ServiceParts& parts, HttpServerPtr& server,
                                  std::string& problem)
{
    if (!parts.dll.load(hostFolder() + zelvoDllName)) {
        return StartResult::LibraryMissing;
    }
    BindResult bound = BindResult::Failed;
    server = bindServer(listenAddress, static_cast<std::uint16_t>(params.port), ServerLimits{}, bound);
    if (bound == BindResult::PortTaken) {
        return StartResult::PortTaken;
    }
    if (!server) {
        return StartResult::NetworkFailed;
    }
    parts.port = static_cast<std::uint16_t>(params.port);
    const std::wstring folder = withSlash(params.dataDir);
    // The limits in force from the start: the port's limits file's, else
    // those of limits.json (the one file of every port before), else the
    // defaults. Never no limits: a file that is not valid stops the start
    // (its problem names what is wrong).
    parts.limitsFile = folder + limitsFileName(params.port);
    LimitsFile limits = readLimitsFile(parts.limitsFile);
    const bool shared = !limits.found;
    if (shared) {
        limits = readLimitsFile(folder + sharedLimitsFileName);
    }
    if (!limits.problem.empty()) {
        problem = limits.problem;
        return StartResult::LimitsInvalid;
    }
    parts.token = newToken();
    if (parts.token.empty()) {
        return StartResult::InternalError;
    }
    // limits.json is read once: from now on the port's own file holds them.
    if (!createFolderForUser(folder) || (shared && limits.found && !writeLimitsFile(parts.limitsFile, limits.limits)) ||
        !writeUserOnlyFile(folder + tokenFileName(params.port), parts.token) ||
        !openLedger(folder + journalFileName(params.port), parts.ledger, limits.limits, limits.found)) {
        return StartResult::DataDirUnusable;
    }
    return StartResult::Started;
}

// The event stream: the ledger's changes become events, which go to the
// server's listeners.
void connectEvents(ServiceParts& parts, HttpServer& server)
{
    parts.feed.connect([&server](const std::string& text) { publish(server, text); },
                       [&server]() { return listenerCount(server); });
    parts.ledger.observe([&feed = parts.feed](const Json& line) { feed.tellLedgerLine(line); });
}

void runService(Handshake& handshake)
{
    const zelvo_common::ApartmentScope apartment;
    const WinsockScope winsock;
    if (!winsock.started()) {
        handshake.report(StartResult::NetworkFailed);
        return;
    }
    const StartParams params = handshake.params;
    ServiceParts parts(std::chrono::milliseconds(params.pollMs));
    HttpServerPtr server;
    std::string problem;
    if (const StartResult prepared = prepare(params, parts, server, problem); prepared != StartResult::Started) {
        handshake.report(prepared, problem);
        return;
    }
    PublishedBlock block;
    if (!publish(block, parts.port, withSlash(params.dataDir) + tokenFileName(params.port))) {
        handshake.report(StartResult::InternalError);
        return;
    }
    connectEvents(parts, *server);
    handshake.report(StartResult::Started);
    RouteContext routes{parts.dll, parts.ledger, parts.feed, parts.web, parts.token, parts.port, parts.limitsFile};
    const RequestHandler handle = [&routes](const HttpRequest& request) { return handleRequest(routes, request); };
    const ProtocolErrorReply protocolError = [](int status) { return protocolErrorReply(status); };
    const Tick tick = [&parts](bool requestWaiting) noexcept {
        try {
            runSwitchIfDue(parts.ledger, parts.dll);
            pollClientIfDue(parts.feed, parts.ledger, parts.dll, requestWaiting);
        } catch (...) {
            // Tried again at the next tick.
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
        const UniqueHandle thread(
            CreateThread(nullptr, serviceStackBytes, serviceThread, shared, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
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
