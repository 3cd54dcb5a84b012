#include "client_watch.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "booked_start.h"
#include "client_process.h"
#include "console_text.h"
#include "data_folder.h"
#include "gbk_text.h"
#include "port_book.h"

namespace zelvo_load {

namespace {

// How often the watcher looks for clients that appeared or ended: a
// restarted client's service is back within about this long of its main frame.
constexpr DWORD roundMs = 1000;
// A start that failed (a port held by another program, a limits file being
// mended) is tried again this much later.
constexpr ULONGLONG retryMs = 5000;
// One watcher per session: two would race to start services.
constexpr wchar_t watcherMutexName[] = L"Local\\ZelvoLoad.Watch";

struct WatchedClient {
    DWORD processId = 0;
    UniqueHandle process;  // signalled when the client's process ends
    std::wstring program;
    bool served = false;
    bool givenUp = false;  // it can never be served by this loader (another bitness)
    int lastCode = Started;
    std::wstring lastProblem;
    ULONGLONG nextTry = 0;
};

struct Watch {
    WatchOptions options;
    std::wstring logPath;
    std::vector<WatchedClient> clients;
};

// The console's stop request (Ctrl+C, Ctrl+Break, the window closing, a
// logoff or shutdown), as an event the rounds wait on.
HANDLE stopRequested = nullptr;

BOOL WINAPI onConsoleControl(DWORD) noexcept
{
    SetEvent(stopRequested);
    return TRUE;
}

struct ConsoleStop {
    ConsoleStop() : event(zelvo_common::createEvent(zelvo_common::EventReset::Manual, false))
    {
        stopRequested = event.get();
        SetConsoleCtrlHandler(onConsoleControl, TRUE);
    }
    ~ConsoleStop()
    {
        SetConsoleCtrlHandler(onConsoleControl, FALSE);
        stopRequested = nullptr;
    }
    ConsoleStop(const ConsoleStop&) = delete;
    ConsoleStop& operator=(const ConsoleStop&) = delete;
    zelvo_common::UniqueEvent event;
};

[[nodiscard]] std::wstring timeNow()
{
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    wchar_t text[32] = {};
    swprintf(text, 32, L"%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
             now.wSecond);
    return text;
}

// One line with the time, on the output and appended to the log (UTF-8).
// A log that cannot be written loses the line, never the watch.
void note(const Watch& watch, const std::wstring& text)
{
    const std::wstring line = timeNow() + L"  " + text;
    write(stdout, line + L"\n");
    const UniqueHandle file(CreateFileW(watch.logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    const std::string bytes = zelvo_common::wideToUtf8(line) + "\r\n";
    DWORD written = 0;
    if (file) {
        WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }
}

[[nodiscard]] std::wstring describeClient(const WatchedClient& client)
{
    return L"process " + std::to_wstring(client.processId) + L" (" +
           (client.program.empty() ? std::wstring(L"program unknown") : client.program) + L")";
}

void forgetEndedClients(Watch& watch)
{
    for (auto it = watch.clients.begin(); it != watch.clients.end();) {
        if (WaitForSingleObject(it->process.get(), 0) == WAIT_OBJECT_0) {
            note(watch, L"client gone: " + describeClient(*it));
            it = watch.clients.erase(it);
        } else {
            ++it;
        }
    }
}

void noticeNewClients(Watch& watch)
{
    for (const ClientWindow& window : findClients()) {
        const bool known = std::any_of(watch.clients.begin(), watch.clients.end(),
                                       [&](const WatchedClient& client) { return client.processId == window.processId; });
        if (known) {
            continue;
        }
        WatchedClient client;
        client.processId = window.processId;
        client.process = UniqueHandle(OpenProcess(SYNCHRONIZE, FALSE, window.processId));
        if (!client.process) {
            continue;  // ended already
        }
        client.program = programPath(window.processId);
        note(watch, L"client seen: " + describeClient(client) + L" \"" + window.title + L"\"");
        watch.clients.push_back(std::move(client));
    }
}

void failed(const Watch& watch, WatchedClient& client, int code, const std::wstring& problem)
{
    client.lastCode = code;
    client.nextTry = GetTickCount64() + retryMs;
    client.givenUp = code == BitnessDiffers;
    if (problem != client.lastProblem) {
        note(watch, L"service not started in " + describeClient(client) + L": " + problem +
                        (client.givenUp || watch.options.once ? L"" : L" (trying again every 5 s)"));
        client.lastProblem = problem;
    }
}

void serve(const Watch& watch, WatchedClient& client)
{
    std::wstring warning;
    const StartOutcome outcome = startAtBookedPort(
        {client.processId, watch.options.dataDir, watch.options.firstPort, watch.options.pollMs}, warning);
    if (outcome.code == Started || outcome.code == AlreadyRunning) {
        note(watch, (outcome.code == Started ? L"service started in " : L"service already runs in ") +
                        describeClient(client) + L" at " + address(outcome.port) + L", token file " + outcome.tokenFile);
        client.served = true;
    } else {
        failed(watch, client, outcome.code, outcome.message);
    }
    if (!warning.empty()) {
        note(watch, warning);
    }
}

void serveWaitingClients(Watch& watch)
{
    for (WatchedClient& client : watch.clients) {
        if (!client.served && !client.givenUp && GetTickCount64() >= client.nextTry) {
            serve(watch, client);
        }
    }
}

// --once: the outcome of the one round.
[[nodiscard]] int roundOutcome(const Watch& watch)
{
    if (watch.clients.empty()) {
        return fail(NoClient, std::wstring(L"no trading client is running (no window of class ") + clientWindowClass + L")");
    }
    const auto unserved = std::find_if(watch.clients.begin(), watch.clients.end(),
                                       [](const WatchedClient& client) { return !client.served; });
    return unserved == watch.clients.end() ? Started : unserved->lastCode;
}

}  // namespace

int watchClients(const WatchOptions& options)
{
    const UniqueHandle mutex(CreateMutexW(nullptr, FALSE, watcherMutexName));
    const DWORD owned = mutex ? WaitForSingleObject(mutex.get(), 0) : WAIT_FAILED;
    if (owned != WAIT_OBJECT_0 && owned != WAIT_ABANDONED) {
        return fail(WatcherRunning, L"another zelvo-load --watch runs in this Windows session; it serves the clients already");
    }
    if (!ensureDataFolder(options.dataDir)) {
        ReleaseMutex(mutex.get());
        return fail(Usage, L"cannot create the folder " + options.dataDir + L"; give another with --dir");
    }
    Watch watch{options, options.dataDir + L"\\" + watchLogName, {}};
    const ConsoleStop stop;
    note(watch, std::wstring(options.once ? L"looking once" : L"watching") + L" for trading clients; log " +
                    watch.logPath + L", ports " + options.dataDir + L"\\" + portBookName +
                    (options.once ? L"" : L"; Ctrl+C stops"));
    do {
        forgetEndedClients(watch);
        noticeNewClients(watch);
        serveWaitingClients(watch);
    } while (!options.once && WaitForSingleObject(stop.event.get(), roundMs) == WAIT_TIMEOUT);
    const int outcome = options.once ? roundOutcome(watch) : Started;
    if (!options.once) {
        note(watch, L"watch stopped");
    }
    ReleaseMutex(mutex.get());
    return outcome;
}

}  // namespace zelvo_load
