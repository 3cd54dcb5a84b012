#include "module_folder.h"

namespace zelvo_common {

std::wstring moduleFolder(HMODULE module)
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return {};
    }
    const std::wstring file(path, length);
    return file.substr(0, file.find_last_of(L"\\/") + 1);
}

}  // namespace zelvo_common
