// The trading client's process as the loader sees it: found by its main
// frame's window class, opened, checked for bitness, and made to run a
// function on a thread of its own.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "handles.h"
#include "remote_memory.h"

namespace zelvo_load {

using zelvo_common::RemoteMemory;
using zelvo_common::UniqueHandle;

constexpr wchar_t clientWindowClass[] = L"TdxW_MainFrame_Class";

struct ClientWindow {
    DWORD processId = 0;
    std::wstring title;
};

// One entry per process that has a top-level window of the client's class
// (hidden ones too: a client driven by the library is hidden).
[[nodiscard]] std::vector<ClientWindow> findClients();

// The full path of the process's program file; empty when it cannot be read.
[[nodiscard]] std::wstring programPath(DWORD processId);

// The rights the loader needs: create threads, read, write and allocate memory.
[[nodiscard]] UniqueHandle openClient(DWORD processId);

// True when the process runs with the same bitness as this loader.
[[nodiscard]] bool sameBitness(HANDLE process);

enum class RemoteRun { Finished, TimedOut, Failed };

// Runs `start(argument)` on a new thread of `process` and waits up to
// `boundMs` for it; `exitCode` gets the thread's exit code when it finished.
[[nodiscard]] RemoteRun runRemoteThread(HANDLE process, void* start, void* argument, DWORD boundMs, DWORD& exitCode);

// The base address of the module named `moduleName` in the process, or null.
[[nodiscard]] void* remoteModuleBase(DWORD processId, const std::wstring& moduleName);

// The offset of `exportName` from the start of the DLL at `dllPath`, read
// from a copy mapped into this process without running any of its code;
// 0 when it is missing.
[[nodiscard]] ULONG_PTR exportOffset(const std::wstring& dllPath, const char* exportName);

}  // namespace zelvo_load
