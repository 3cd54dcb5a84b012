#include "list_reading.h"

#include <commctrl.h>

#include <memory>

namespace bench {

namespace {

constexpr int textCapacity = 512;

struct RemoteBlock {
    HANDLE process = nullptr;
    char* base = nullptr;
    ~RemoteBlock()
    {
        if (base != nullptr) {
            VirtualFreeEx(process, base, 0, MEM_RELEASE);
        }
        if (process != nullptr) {
            CloseHandle(process);
        }
    }
};

int columnCount(HWND list)
{
    const auto header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    return header == nullptr ? 0 : static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
}

}  // namespace

size_t readTable(HWND list)
{
    char text[textCapacity];
    size_t bytes = 0;
    const int columns = columnCount(list);
    for (int c = 0; c < columns; ++c) {
        LVCOLUMNA column = {};
        column.mask = LVCF_TEXT;
        column.pszText = text;
        column.cchTextMax = textCapacity;
        SendMessageA(list, LVM_GETCOLUMNA, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&column));
        bytes += strnlen(text, textCapacity);
    }
    const int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            LVITEMA item = {};
            item.iSubItem = c;
            item.pszText = text;
            item.cchTextMax = textCapacity;
            bytes += static_cast<size_t>(
                SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(r), reinterpret_cast<LPARAM>(&item)));
        }
    }
    return bytes;
}

size_t readTableFromOutside(HWND list)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(list, &processId);
    RemoteBlock block;
    block.process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
    if (block.process == nullptr) {
        return 0;
    }
    block.base = static_cast<char*>(
        VirtualAllocEx(block.process, nullptr, sizeof(LVITEMA) + textCapacity, MEM_COMMIT, PAGE_READWRITE));
    char* remoteText = block.base + sizeof(LVITEMA);
    char text[textCapacity];
    size_t bytes = 0;
    const int columns = columnCount(list);
    for (int c = 0; c < columns; ++c) {
        LVCOLUMNA column = {};
        column.mask = LVCF_TEXT;
        column.pszText = remoteText;
        column.cchTextMax = textCapacity;
        WriteProcessMemory(block.process, block.base, &column, sizeof column, nullptr);
        SendMessageA(list, LVM_GETCOLUMNA, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(block.base));
        ReadProcessMemory(block.process, remoteText, text, textCapacity, nullptr);
        bytes += strnlen(text, textCapacity);
    }
    const int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            LVITEMA item = {};
            item.iSubItem = c;
            item.pszText = remoteText;
            item.cchTextMax = textCapacity;
            WriteProcessMemory(block.process, block.base, &item, sizeof item, nullptr);
            SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(r), reinterpret_cast<LPARAM>(block.base));
            ReadProcessMemory(block.process, remoteText, text, textCapacity, nullptr);
            bytes += strnlen(text, textCapacity);
        }
    }
    return bytes;
}

}  // namespace bench
