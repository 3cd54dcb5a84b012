#include "client_process.h"

#include <tlhelp32.h>

#include <algorithm>

namespace zelvo_load {

namespace {

BOOL CALLBACK collectClient(HWND window, LPARAM context)
{
    wchar_t className[64] = {};
    if (GetClassNameW(window, className, 64) == 0 || wcscmp(className, clientWindowClass) != 0) {
        return TRUE;
    }
    auto& clients = *reinterpret_cast<std::vector<ClientWindow>*>(context);
    ClientWindow client;
    GetWindowThreadProcessId(window, &client.processId);
    const bool known = std::any_of(clients.begin(), clients.end(),
                                   [&](const ClientWindow& other) { return other.processId == client.processId; });
    if (!known) {
        wchar_t title[256] = {};
        GetWindowTextW(window, title, 256);
        client.title = title;
        clients.push_back(client);
    }
    return TRUE;
}

[[nodiscard]] bool isWow64(HANDLE process)
{
    BOOL wow64 = FALSE;
    return IsWow64Process(process, &wow64) && wow64;
}

}  // namespace

std::vector<ClientWindow> findClients()
{
    std::vector<ClientWindow> clients;
    EnumWindows(collectClient, reinterpret_cast<LPARAM>(&clients));
    return clients;
}

std::wstring programPath(DWORD processId)
{
    const UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    wchar_t path[MAX_PATH] = {};
    DWORD length = MAX_PATH;
    if (!process || !QueryFullProcessImageNameW(process.get(), 0, path, &length)) {
        return {};
    }
    return std::wstring(path, length);
}

UniqueHandle openClient(DWORD processId)
{
    constexpr DWORD rights = PROCESS_CREATE_THREAD | PROCESS_QUERY_INFORMATION | PROCESS_VM_OPERATION |
                             PROCESS_VM_WRITE | PROCESS_VM_READ | SYNCHRONIZE;
    return UniqueHandle(OpenProcess(rights, FALSE, processId));
}

bool sameBitness(HANDLE process)
{
    // On a 64-bit system a 32-bit process runs under WOW64 and a 64-bit one
    // does not; on a 32-bit system neither does. Equal answers, same bitness.
    return isWow64(process) == isWow64(GetCurrentProcess());
}

RemoteRun runRemoteThread(HANDLE process, void* start, void* argument, DWORD boundMs, DWORD& exitCode)
{
    const UniqueHandle thread(CreateRemoteThread(process, nullptr, 0, reinterpret_cast<LPTHREAD_START_ROUTINE>(start),
                                                 argument, 0, nullptr));
    if (!thread) {
        return RemoteRun::Failed;
    }
    if (WaitForSingleObject(thread.get(), boundMs) != WAIT_OBJECT_0) {
        return RemoteRun::TimedOut;
    }
    return GetExitCodeThread(thread.get(), &exitCode) ? RemoteRun::Finished : RemoteRun::Failed;
}

void* remoteModuleBase(DWORD processId, const std::wstring& moduleName)
{
    const UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32, processId));
    if (!snapshot) {
        return nullptr;
    }
    MODULEENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Module32FirstW(snapshot.get(), &entry); more; more = Module32NextW(snapshot.get(), &entry)) {
        if (_wcsicmp(entry.szModule, moduleName.c_str()) == 0) {
            return entry.modBaseAddr;
        }
    }
    return nullptr;
}

ULONG_PTR exportOffset(const std::wstring& dllPath, const char* exportName)
{
    // DONT_RESOLVE_DLL_REFERENCES maps the image without running DllMain or
    // loading its imports; the export's offset is the same in every process.
    const zelvo_common::UniqueModule local(LoadLibraryExW(dllPath.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES));
    if (!local) {
        return 0;
    }
    const auto address = reinterpret_cast<ULONG_PTR>(GetProcAddress(local.get(), exportName));
    return address == 0 ? 0 : address - reinterpret_cast<ULONG_PTR>(local.get());
}

}  // namespace zelvo_load
