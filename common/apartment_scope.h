// A COM apartment for the calling thread for the length of a scope, for the
// programs around zelvo.dll (the service's thread). A thread that has no
// apartment gets a single-threaded one; a thread that already has one is
// left exactly as it was: CoInitializeEx then returns S_FALSE (counted all
// the same, and balanced on exit) or fails with RPC_E_CHANGED_MODE (the
// thread is in the multithreaded apartment, used as it is and not touched).
#pragma once
#include <windows.h>
#include <objbase.h>

namespace zelvo_common {

class ApartmentScope {
public:
    ApartmentScope() noexcept : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ApartmentScope()
    {
        if (SUCCEEDED(result_)) {
            CoUninitialize();
        }
    }
    ApartmentScope(const ApartmentScope&) = delete;
    ApartmentScope& operator=(const ApartmentScope&) = delete;

private:
    HRESULT result_;
};

}  // namespace zelvo_common
