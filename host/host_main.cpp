// zelvo-host.dll's entry points. Loading the DLL starts nothing; the loader
// then calls ZelvoHost_Start on a remote thread (see host_protocol.h).
#include <windows.h>

#include <cwchar>

#include "host_protocol.h"
#include "service.h"

extern "C" {

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}

// The thread start routine the loader runs in the client. `params` points
// to a StartParams block in this process; the exit code is a StartResult.
__declspec(dllexport) DWORD WINAPI ZelvoHost_Start(void* params)
{
    if (params == nullptr) {
        return static_cast<DWORD>(zelvo_host::StartResult::BadParams);
    }
    // The service thread runs this DLL's code for the rest of the process's
    // life: pin it so no FreeLibrary can unload the code beneath it.
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&ZelvoHost_Start), &self);
    auto* block = static_cast<zelvo_host::StartParams*>(params);
    zelvo_host::StartParams copy = *block;
    const zelvo_host::StartResult result = zelvo_host::startService(copy);
    // Of the loader's block only the problem text changes, and only in a
    // block of this build's layout.
    if (copy.size == sizeof(zelvo_host::StartParams)) {
        wmemcpy(block->problem, copy.problem, sizeof copy.problem / sizeof copy.problem[0]);
    }
    return static_cast<DWORD>(result);
}

}  // extern "C"
