#include "list_reading.h"

#include <commctrl.h>

#include <cstring>

#include "handles.h"
#include "remote_memory.h"

namespace bench {

namespace {

constexpr int textCapacity = 512;

int columnCount(HWND list)
{
    const auto header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    return header == nullptr ? 0 : static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
}

// Walks the list as the library does: the captions, then every cell, one
// read each; `columnText` and `cellText` give the bytes each read brought.
template <class ColumnRead, class CellRead>
size_t walkTable(HWND list, ColumnRead columnText, CellRead cellText)
{
    size_t bytes = 0;
    const int columns = columnCount(list);
    for (int c = 0; c < columns; ++c) {
        bytes += columnText(c);
    }
    const int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            bytes += cellText(r, c);
        }
    }
    return bytes;
}

template <class Item>
Item textRequest(char* text)
{
    Item request = {};
    request.pszText = text;
    request.cchTextMax = textCapacity;
    return request;
}

}  // namespace

size_t readTable(HWND list)
{
    char text[textCapacity];
    const auto column = [&](int c) {
        LVCOLUMNA request = textRequest<LVCOLUMNA>(text);
        request.mask = LVCF_TEXT;
        SendMessageA(list, LVM_GETCOLUMNA, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&request));
        return strnlen(text, textCapacity);
    };
    const auto cell = [&](int r, int c) {
        LVITEMA request = textRequest<LVITEMA>(text);
        request.iSubItem = c;
        return static_cast<size_t>(
            SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(r), reinterpret_cast<LPARAM>(&request)));
    };
    return walkTable(list, column, cell);
}

size_t readTableFromOutside(HWND list)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(list, &processId);
    const zelvo_common::UniqueHandle process(
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId));
    if (!process) {
        return 0;
    }
    zelvo_common::RemoteMemory block(process.get(), sizeof(LVITEMA) + textCapacity);
    if (!block) {
        return 0;
    }
    char* remoteText = static_cast<char*>(block.address()) + sizeof(LVITEMA);
    char text[textCapacity] = {};
    // One request: written into the client, sent, and its text read back.
    const auto roundTrip = [&](UINT message, WPARAM index, const auto& request) {
        (void)block.write(&request, sizeof request);
        SendMessageA(list, message, index, reinterpret_cast<LPARAM>(block.address()));
        (void)block.read(text, textCapacity, sizeof(LVITEMA));
        return strnlen(text, textCapacity);
    };
    const auto column = [&](int c) {
        LVCOLUMNA request = textRequest<LVCOLUMNA>(remoteText);
        request.mask = LVCF_TEXT;
        return roundTrip(LVM_GETCOLUMNA, static_cast<WPARAM>(c), request);
    };
    const auto cell = [&](int r, int c) {
        LVITEMA request = textRequest<LVITEMA>(remoteText);
        request.iSubItem = c;
        return roundTrip(LVM_GETITEMTEXTA, static_cast<WPARAM>(r), request);
    };
    return walkTable(list, column, cell);
}

}  // namespace bench
