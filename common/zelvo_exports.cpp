#include "zelvo_exports.h"

#include <type_traits>

namespace zelvo_common {

const char* bindExports(HMODULE module, ZelvoExports& exports) noexcept
{
    const char* missing = nullptr;
    const auto bind = [&](const char* name, auto& slot) {
        using Function = std::remove_reference_t<decltype(slot)>;
        // Through void*: a cast from FARPROC to another function type draws a warning.
        slot = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
        if (slot == nullptr && missing == nullptr) {
            missing = name;
        }
    };
    bind("Zelvo_Login", exports.login);
    bind("Zelvo_Logout", exports.logout);
    bind("Zelvo_GetWndText", exports.getWndText);
    bind("Zelvo_GetBroker", exports.getBroker);
    bind("Zelvo_GetAccount", exports.getAccount);
    bind("Zelvo_QueryData", exports.queryData);
    bind("Zelvo_SendOrder", exports.sendOrder);
    bind("Zelvo_CancelOrder", exports.cancelOrder);
    return missing;
}

BoundZelvo loadZelvo(const std::wstring& path) noexcept
{
    BoundZelvo zelvo;
    zelvo.module.reset(LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!zelvo.module) {
        zelvo.loadError = GetLastError();
        return zelvo;
    }
    zelvo.missingExport = bindExports(zelvo.module.get(), zelvo.exports);
    return zelvo;
}

}  // namespace zelvo_common
