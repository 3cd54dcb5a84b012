// zelvo.dll as the programs around it call it: loaded at run time and its
// eight exports found by their plain names, with the pointer types zelvo.h
// declares. The service binds it this way, and so do the tests (each test
// loads a fresh copy) and the 32-bit smoke run.
#pragma once
#include <windows.h>

#include <cstddef>
#include <string>

#include "handles.h"
#include "zelvo.h"

namespace zelvo_common {

// The library writes whole answers with no length limit, so its callers size
// their buffers far beyond any answer a client gives: a list of 5000 rows by
// 15 columns is about 1 MiB of query result; messages and texts are short.
constexpr std::size_t queryResultBufferBytes = 16u << 20;
constexpr std::size_t textBufferBytes = 64u << 10;

struct ZelvoExports {
    using Login = decltype(&::Zelvo_Login);
    using Logout = decltype(&::Zelvo_Logout);
    using TextGetter = decltype(&::Zelvo_GetBroker);
    using QueryData = decltype(&::Zelvo_QueryData);
    using SendOrder = decltype(&::Zelvo_SendOrder);
    using CancelOrder = decltype(&::Zelvo_CancelOrder);

    Login login = nullptr;
    Logout logout = nullptr;
    TextGetter getWndText = nullptr;
    TextGetter getBroker = nullptr;
    TextGetter getAccount = nullptr;
    QueryData queryData = nullptr;
    SendOrder sendOrder = nullptr;
    CancelOrder cancelOrder = nullptr;
};

// Finds the eight exports in `module`. Gives the name of the first one
// missing, or null when all eight were found.
[[nodiscard]] const char* bindExports(HMODULE module, ZelvoExports& exports) noexcept;

// zelvo.dll loaded and bound: the module stays loaded while this lives.
struct BoundZelvo {
    UniqueModule module;
    ZelvoExports exports;
    DWORD loadError = ERROR_SUCCESS;      // GetLastError of a load that failed
    const char* missingExport = nullptr;  // the first export not found

    [[nodiscard]] bool ok() const noexcept { return module && missingExport == nullptr; }
};

// Loads zelvo.dll from the full `path` and binds its exports. The DLL's own
// folder comes first in the search for what it loads in turn.
[[nodiscard]] BoundZelvo loadZelvo(const std::wstring& path) noexcept;

}  // namespace zelvo_common
