#include "common_controls6.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <mutex>
#include <string>

namespace substitute {

namespace {

constexpr char manifest[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\n"
    "  <dependency>\n"
    "    <dependentAssembly>\n"
    "      <assemblyIdentity type=\"win32\" name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"\n"
    "                        processorArchitecture=\"*\" publicKeyToken=\"6595b64144ccf1df\" language=\"*\"/>\n"
    "    </dependentAssembly>\n"
    "  </dependency>\n"
    "</assembly>\n";

// The manifest, in a file of this process's own in the temporary folder.
std::wstring writeManifest()
{
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    const std::wstring path =
        std::wstring(folder) + L"zelvo-substitute-cc6-" + std::to_wstring(GetCurrentProcessId()) + L".manifest";
    FILE* file = _wfopen(path.c_str(), L"wb");
    if (file == nullptr) {
        return {};
    }
    std::fputs(manifest, file);
    std::fclose(file);
    return path;
}

// Made once, kept for the process's life: threads activate it for theirs.
HANDLE processContext()
{
    static std::once_flag made;
    static HANDLE context = INVALID_HANDLE_VALUE;
    std::call_once(made, [] {
        const std::wstring path = writeManifest();
        if (path.empty()) {
            return;
        }
        ACTCTXW description = {};
        description.cbSize = sizeof description;
        description.lpSource = path.c_str();
        context = CreateActCtxW(&description);
        DeleteFileW(path.c_str());
    });
    return context;
}

}  // namespace

bool useCommonControls6OnThisThread()
{
    const HANDLE context = processContext();
    ULONG_PTR cookie = 0;
    if (context == INVALID_HANDLE_VALUE || !ActivateActCtx(context, &cookie)) {
        return false;
    }
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    return true;
}

}  // namespace substitute
