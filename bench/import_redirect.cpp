#include "import_redirect.h"

#include <cstring>
#include <utility>

namespace bench {

namespace {

void writeSlot(void** slot, void* value)
{
    DWORD old = 0;
    VirtualProtect(slot, sizeof value, PAGE_READWRITE, &old);
    *slot = value;
    VirtualProtect(slot, sizeof value, old, &old);
}

// Walks the module's import table and swaps each listed function's slot;
// with `install` false, puts the originals back.
void redirectImports(HMODULE module, const std::vector<Redirect>& redirects, bool install)
{
    if (module == nullptr) {
        return;
    }
    auto* base = reinterpret_cast<BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    auto* descriptor = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
    for (; descriptor->Name != 0; ++descriptor) {
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + descriptor->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + descriptor->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) {
                continue;
            }
            const auto* import = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            for (const Redirect& redirect : redirects) {
                if (std::strcmp(import->Name, redirect.name) != 0) {
                    continue;
                }
                auto** slot = reinterpret_cast<void**>(&slots->u1.Function);
                if (install) {
                    *redirect.original = *slot;
                    writeSlot(slot, redirect.wrapper);
                } else {
                    writeSlot(slot, *redirect.original);
                }
            }
        }
    }
}

}  // namespace

RedirectedImports::RedirectedImports(const char* module, std::vector<Redirect> redirects)
    : module_(GetModuleHandleA(module)), redirects_(std::move(redirects))
{
    redirectImports(module_, redirects_, true);
}

RedirectedImports::~RedirectedImports()
{
    redirectImports(module_, redirects_, false);
}

}  // namespace bench
