// Where a program finds the files that go beside it: zelvo.dll beside the
// host and the tests, zelvo-host.dll beside the loader.
#pragma once
#include <windows.h>

#include <string>

namespace zelvo_common {

// The folder of the module's file with its trailing backslash (null: the
// running program). Empty when the path does not fit MAX_PATH.
[[nodiscard]] std::wstring moduleFolder(HMODULE module);

}  // namespace zelvo_common
