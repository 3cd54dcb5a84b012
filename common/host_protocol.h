// What zelvo-load.exe and zelvo-host.dll agree on: the default port, the
// start block the loader writes into the client's memory, the start results,
// the block a running service publishes for later loaders, and the names of
// the token file and the journal.
//
// How a service starts: the loader loads zelvo-host.dll into the client with
// a remote thread on LoadLibraryW, writes a StartParams block into the
// client's memory and runs a second remote thread on ZelvoHost_Start with
// that block's address. ZelvoHost_Start returns once the service listens (or
// could not start); the thread's exit code is a StartResult.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

namespace zelvo_host {

constexpr std::uint16_t defaultPort = 18766;
// How often the service reads the client's trades and orders for the event
// stream while anyone listens, and the bounds of a chosen interval.
constexpr std::uint32_t defaultPollMs = 3000;
constexpr std::uint32_t minPollMs = 200;
constexpr std::uint32_t maxPollMs = 60000;
constexpr wchar_t hostDllName[] = L"zelvo-host.dll";
constexpr wchar_t zelvoDllName[] = L"zelvo.dll";
constexpr char startExportName[] = "ZelvoHost_Start";
// The service listens on the loopback interface only.
constexpr char listenAddress[] = "127.0.0.1";

// Written by the loader into the client's memory. `size` guards against a
// loader and a host of different builds.
struct StartParams {
    std::uint32_t size = sizeof(StartParams);
    std::uint32_t port = defaultPort;
    std::uint32_t pollMs = defaultPollMs;
    wchar_t dataDir[MAX_PATH] = {};  // the folder of the token file, the journal and the limits file
    // Written back by ZelvoHost_Start when the service did not start for a
    // reason it can say more of (a limits file that is not valid).
    wchar_t problem[512] = {};
};

enum class StartResult : DWORD {
    Started = 0,
    BadParams = 1,
    AlreadyRunning = 2,  // this process already has a service (see Published)
    PortTaken = 3,
    LibraryMissing = 4,  // zelvo.dll is not beside zelvo-host.dll, or lacks an export
    DataDirUnusable = 5, // the token file or the journal could not be written
    NetworkFailed = 6,
    StartTimeout = 7,    // the service thread did not report within its bound
    InternalError = 8,
    LimitsInvalid = 9,   // the limits file is not valid (StartParams::problem says why)
};

// Published by a running service in the shared block named by
// publishedBlockName(its process id), so that a later loader finds it.
struct Published {
    std::uint32_t size = sizeof(Published);
    std::uint32_t port = 0;
    wchar_t tokenFile[MAX_PATH] = {};
};

[[nodiscard]] inline std::wstring publishedBlockName(DWORD processId)
{
    return L"Local\\ZelvoHost." + std::to_wstring(processId);
}

// One token file and one journal per port, so that two clients with a
// service each never share them.
[[nodiscard]] inline std::wstring tokenFileName(unsigned port)
{
    return L"service-" + std::to_wstring(port) + L".token";
}

[[nodiscard]] inline std::wstring journalFileName(unsigned port)
{
    return L"journal-" + std::to_wstring(port) + L".jsonl";
}

[[nodiscard]] inline const char* describe(StartResult result)
{
    switch (result) {
    case StartResult::Started: return "started";
    case StartResult::BadParams: return "the start block was not understood (loader and host of different builds?)";
    case StartResult::AlreadyRunning: return "the service already runs in this client";
    case StartResult::PortTaken: return "the port is taken by another program";
    case StartResult::LibraryMissing: return "zelvo.dll is missing beside zelvo-host.dll, or lacks one of its exports";
    case StartResult::DataDirUnusable: return "the token file or the order journal could not be written";
    case StartResult::NetworkFailed: return "the network layer could not be started";
    case StartResult::StartTimeout: return "the service did not report its start in time";
    case StartResult::InternalError: return "internal error";
    case StartResult::LimitsInvalid: return "the limits file in the data folder is not valid";
    }
    return "unknown result";
}

}  // namespace zelvo_host
