#include "client/function_tree.h"

#include <cstring>
#include <vector>

#include "client/bounds.h"
#include "client/client_ui.h"
#include "platform/windows_ui.h"

namespace zelvo {

namespace {

// The item's whole text. The buffer grows until the text fits; it is zeroed
// and terminated by us because Wine leaves a cut text unterminated.
std::string treeItemText(HWND tree, HTREEITEM item)
{
    for (size_t capacity = 256;; capacity *= 2) {
        std::vector<char> buffer(capacity + 1, '\0');
        TVITEMA query = {};
        query.mask = TVIF_TEXT;
        query.hItem = item;
        query.pszText = buffer.data();
        query.cchTextMax = static_cast<int>(capacity);
        SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&query));
        buffer[capacity] = '\0';
        const size_t length = std::strlen(buffer.data());
        if (length + 1 < capacity || capacity >= 65536) {
            return std::string(buffer.data(), length);
        }
    }
}

HTREEITEM nextItem(HWND tree, HTREEITEM item, UINT relation)
{
    return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

bool isUnwalked(const std::string& caption)
{
    for (const char* unwalked : client_ui::unwalkedCaptions) {
        if (caption == unwalked) {
            return true;
        }
    }
    return false;
}

bool isLiveVisibleEnabled(HWND window)
{
    return IsWindowVisible(window) && IsWindowEnabled(window) && IsWindow(window);
}

bool isActivePage(HWND page, const BrokerProfile& profile)
{
    if (isLiveVisibleEnabled(FindWindowExA(page, nullptr, client_ui::listViewClass, nullptr))) {
        return true;
    }
    return profile.nestedDialogPages &&
           isLiveVisibleEnabled(FindWindowExA(page, nullptr, client_ui::dialogClass, nullptr));
}

// The centre of the item's text, in screen coordinates.
POINT itemCentreOnScreen(HWND tree, HTREEITEM item)
{
    // TVM_GETITEMRECT takes the item in the first bytes of the rectangle.
    RECT box = {};
    std::memcpy(&box, &item, sizeof item);
    SendMessageA(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&box));
    POINT centre = {(box.left + box.right) / 2, (box.top + box.bottom) / 2};
    ClientToScreen(tree, &centre);
    return centre;
}

}  // namespace

void collectTreeItems(HWND tree, HTREEITEM item, TreeItems& items)
{
    if (item == nullptr) {
        items.clear();
    } else {
        const std::string caption = treeItemText(tree, item);
        items[caption] = item;
        if (isUnwalked(caption)) {
            return;
        }
    }
    for (HTREEITEM child = nextItem(tree, item, TVGN_CHILD); child != nullptr; child = nextItem(tree, child, TVGN_NEXT)) {
        collectTreeItems(tree, child, items);
    }
}

HWND findActivePage(const Client& client)
{
    const HWND host = findDescendantById(client.mainWindow, client.profile.pageHostId);
    if (host == nullptr) {
        return nullptr;
    }
    HWND page = nullptr;
    while ((page = FindWindowExA(host, page, client_ui::dialogClass, nullptr)) != nullptr) {
        if (isActivePage(page, client.profile)) {
            return page;
        }
    }
    return nullptr;
}

HWND openFunction(const Client& client, HWND tree, TreeItems& items, const std::string& caption)
{
    const HTREEITEM selected = nextItem(tree, nullptr, TVGN_CARET);
    const HWND previous = findActivePage(client);
    const HTREEITEM item = items[caption];
    if (selected == item && previous != nullptr) {
        return previous;
    }
    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    const POINT centre = itemCentreOnScreen(tree, item);
    NMHDR click = {tree, static_cast<UINT_PTR>(GetDlgCtrlID(tree)), static_cast<UINT>(NM_CLICK)};
    for (int attempt = 0; attempt < bounds::treeClickLimit; ++attempt) {
        SetCursorPos(centre.x, centre.y);
        Sleep(bounds::treeClickPauseMs);
        SendMessageA(GetParent(tree), WM_NOTIFY, click.idFrom, reinterpret_cast<LPARAM>(&click));
        Sleep(bounds::treeClickPauseMs);
        const HWND page = findActivePage(client);
        if (page != nullptr && page != previous) {
            return page;
        }
    }
    return nullptr;
}

}  // namespace zelvo
