#include "service_start.h"

#include <shlobj.h>

#include <cwchar>

#include "client_process.h"
#include "console_text.h"
#include "module_folder.h"
#include "service_probe.h"

namespace zelvo_load {

namespace {

using zelvo_host::StartParams;
using zelvo_host::StartResult;

constexpr DWORD loadBoundMs = 30000;
constexpr DWORD startBoundMs = 40000;  // the host's own start bound is 30 s
constexpr unsigned statusBoundMs = 10000;

[[nodiscard]] StartOutcome refusal(int code, std::wstring message)
{
    StartOutcome outcome;
    outcome.code = code;
    outcome.message = std::move(message);
    return outcome;
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

// Loads the host DLL into the client; an empty message when it did.
[[nodiscard]] std::wstring loadHost(HANDLE process, const std::wstring& hostPath)
{
    const SIZE_T bytes = (hostPath.size() + 1) * sizeof(wchar_t);
    RemoteMemory path(process, bytes);
    if (!path.write(hostPath.c_str(), bytes)) {
        return L"cannot write into the client's memory";
    }
    // kernel32 sits at the same address in every process of one bitness.
    void* const loadLibrary = reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "LoadLibraryW"));
    DWORD exitCode = 0;
    const RemoteRun run = runRemoteThread(process, loadLibrary, path.address(), loadBoundMs, exitCode);
    if (run == RemoteRun::TimedOut) {
        path.leave();  // the client's thread may still read the path
        return L"the client did not finish loading zelvo-host.dll within 30 s";
    }
    if (run == RemoteRun::Failed) {
        return L"cannot start a thread in the client";
    }
    return {};
}

// Runs ZelvoHost_Start in the client; the service's StartResult, or
// InternalError with `failure` set. The problem text the service wrote back
// is read into `params`.
[[nodiscard]] StartResult startHost(HANDLE process, DWORD processId, const std::wstring& hostPath, StartParams& params,
                                    std::wstring& failure)
{
    const ULONG_PTR offset = exportOffset(hostPath, zelvo_host::startExportName);
    auto* const base = static_cast<BYTE*>(remoteModuleBase(processId, zelvo_host::hostDllName));
    if (offset == 0 || base == nullptr) {
        failure = L"zelvo-host.dll did not load in the client (is zelvo.dll beside it, and of the client's bitness?)";
        return StartResult::InternalError;
    }
    RemoteMemory block(process, sizeof params);
    if (!block.write(&params, sizeof params)) {
        failure = L"cannot write into the client's memory";
        return StartResult::InternalError;
    }
    DWORD exitCode = 0;
    const RemoteRun run = runRemoteThread(process, base + offset, block.address(), startBoundMs, exitCode);
    if (run != RemoteRun::Finished) {
        if (run == RemoteRun::TimedOut) {
            block.leave();
        }
        failure = L"the service's start did not finish";
        return StartResult::InternalError;
    }
    if (!block.read(&params, sizeof params)) {
        params.problem[0] = L'\0';
    }
    params.problem[sizeof params.problem / sizeof params.problem[0] - 1] = L'\0';
    return static_cast<StartResult>(exitCode);
}

// Loads and starts the service in an opened client that passed the checks.
[[nodiscard]] StartOutcome loadAndStart(HANDLE process, const StartRequest& request, const std::wstring& hostPath,
                                        const std::wstring& dataDir)
{
    if (std::wstring failure = loadHost(process, hostPath); !failure.empty()) {
        return refusal(LoadFailed, failure);
    }
    StartParams params;
    params.port = request.port;
    params.pollMs = request.pollMs;
    wcsncpy(params.dataDir, dataDir.c_str(), MAX_PATH - 1);
    std::wstring failure;
    const StartResult started = startHost(process, request.processId, hostPath, params, failure);
    if (!failure.empty()) {
        return refusal(LoadFailed, failure);
    }
    if (started == StartResult::PortTaken) {
        return refusal(PortTaken, L"port " + std::to_wstring(request.port) + L" was taken before the service could use it");
    }
    if (started != StartResult::Started) {
        const std::wstring detail = params.problem[0] != L'\0' ? L": " + std::wstring(params.problem) : L"";
        return refusal(LoadFailed, L"the service did not start: " + fromAscii(zelvo_host::describe(started)) + detail);
    }
    StartOutcome outcome;
    outcome.port = request.port;
    outcome.tokenFile = dataDir + L"\\" + zelvo_host::tokenFileName(request.port);
    outcome.journal = dataDir + L"\\" + zelvo_host::journalFileName(request.port);
    if (!statusAnswers(static_cast<std::uint16_t>(request.port), readToken(outcome.tokenFile), statusBoundMs)) {
        outcome.code = NoAnswer;
        outcome.message = L"the service started but did not answer " + address(request.port) + L"/v1/status";
    }
    return outcome;
}

}  // namespace

StartOutcome startInClient(const StartRequest& request)
{
    const UniqueHandle process = openClient(request.processId);
    if (!process) {
        return refusal(NoClient, L"no process with id " + std::to_wstring(request.processId) + L" can be opened (error " +
                                     std::to_wstring(GetLastError()) + L")");
    }
    if (!sameBitness(process.get())) {
        return refusal(BitnessDiffers, L"process " + std::to_wstring(request.processId) + L" is a " +
                                           (sizeof(void*) == 8 ? L"32" : L"64") + L"-bit process and this loader is " +
                                           (sizeof(void*) == 8 ? L"64" : L"32") +
                                           L"-bit; use the loader, zelvo-host.dll and zelvo.dll of the client's bitness");
    }
    if (zelvo_host::Published running; findRunningService(request.processId, running)) {
        StartOutcome outcome = refusal(AlreadyRunning, L"the service already runs in process " +
                                                           std::to_wstring(request.processId) + L" at " + address(running.port));
        outcome.port = running.port;
        outcome.tokenFile = running.tokenFile;
        return outcome;
    }
    if (!portIsFree(static_cast<std::uint16_t>(request.port))) {
        return refusal(PortTaken, L"port " + std::to_wstring(request.port) +
                                      L" on 127.0.0.1 is taken by another program; choose another with --port");
    }
    const std::wstring folder = zelvo_common::moduleFolder(nullptr);
    const std::wstring hostPath = folder + zelvo_host::hostDllName;
    if (!fileExists(hostPath) || !fileExists(folder + zelvo_host::zelvoDllName)) {
        return refusal(LoadFailed, L"zelvo-host.dll and zelvo.dll must be in " + folder);
    }
    const std::wstring dataDir = resolveDataDir(request.dataDir);
    if (dataDir.empty()) {
        return refusal(Usage, L"the folder for the token file is missing or too long; give one with --dir");
    }
    return loadAndStart(process.get(), request, hostPath, dataDir);
}

bool findRunningService(DWORD processId, zelvo_host::Published& published)
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

std::vector<unsigned> runningServicePorts()
{
    std::vector<unsigned> ports;
    for (const ClientWindow& client : findClients()) {
        if (zelvo_host::Published running; findRunningService(client.processId, running)) {
            ports.push_back(running.port);
        }
    }
    return ports;
}

std::wstring resolveDataDir(const std::wstring& given)
{
    std::wstring dataDir = fullPath(given.empty() ? defaultDataDir() : given);
    while (!dataDir.empty() && (dataDir.back() == L'\\' || dataDir.back() == L'/')) {
        dataDir.pop_back();
    }
    return dataDir.size() >= MAX_PATH - 32 ? std::wstring() : dataDir;
}

std::string readToken(const std::wstring& path)
{
    const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    char text[256] = {};
    DWORD read = 0;
    if (!file || !ReadFile(file.get(), text, sizeof text - 1, &read, nullptr)) {
        return {};
    }
    return std::string(text, read);
}

std::wstring address(unsigned port)
{
    return L"http://127.0.0.1:" + std::to_wstring(port);
}

}  // namespace zelvo_load
