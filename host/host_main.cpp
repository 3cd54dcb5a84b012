// zelvo-host.dll's entry points. Loading the DLL starts nothing; the loader
// then calls ZelvoHost_Start on a remote thread (see host_protocol.h).
#include <windows.h>

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
    zelvo_host::StartParams copy = *static_cast<const zelvo_host::StartParams*>(params);
    return static_cast<DWORD>(zelvo_host::startService(copy));
}

}  // extern "C"
