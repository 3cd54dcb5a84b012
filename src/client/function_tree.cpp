#include "client/function_tree.h"

#include <cstring>

#include "client/bounds.h"
#include "client/client_ui.h"
#include "platform/fine_timer.h"
#include "platform/windows_ui.h"

namespace zelvo {

namespace {

// The item's whole text. The buffer grows until the text fits; it is zeroed
// and terminated by us because Wine leaves a cut text unterminated.
std::string treeItemText(MessageChannel& channel, HWND tree, HTREEITEM item)
{
    for (size_t capacity = 256;; capacity *= 2) {
        MessageBuffer text(capacity + 1);
        MessageBuffer queryBuffer(sizeof(TVITEMA));
        TVITEMA& query = queryBuffer.record<TVITEMA>();
        query.mask = TVIF_TEXT;
        query.hItem = item;
        query.pszText = text.bytes();
        query.cchTextMax = static_cast<int>(capacity);
        if (!channel.send(tree, TVM_GETITEMA, 0, queryBuffer.address(), {&queryBuffer, &text})) {
            return {};
        }
        const size_t length = std::strlen(text.bytes());
        if (length + 1 < capacity || capacity >= 65536) {
            return std::string(text.bytes(), length);
        }
    }
}

HTREEITEM nextItem(MessageChannel& channel, HWND tree, HTREEITEM item, UINT relation)
{
    const LPARAM from = reinterpret_cast<LPARAM>(item);
    return reinterpret_cast<HTREEITEM>(channel.send(tree, TVM_GETNEXTITEM, relation, from).value_or(0));
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
POINT itemCentreOnScreen(MessageChannel& channel, HWND tree, HTREEITEM item)
{
    // TVM_GETITEMRECT takes the item in the first bytes of the rectangle.
    MessageBuffer boxBuffer(sizeof(RECT));
    std::memcpy(boxBuffer.bytes(), &item, sizeof item);
    if (!channel.send(tree, TVM_GETITEMRECT, TRUE, boxBuffer.address(), {&boxBuffer})) {
        return {};
    }
    const RECT& box = boxBuffer.record<RECT>();
    POINT centre = {(box.left + box.right) / 2, (box.top + box.bottom) / 2};
    ClientToScreen(tree, &centre);
    return centre;
}

// The tree's NM_CLICK, sent to its parent as the tree itself reports a click.
void sendTreeClick(MessageChannel& channel, HWND tree)
{
    MessageBuffer clickBuffer(sizeof(NMHDR));
    NMHDR& click = clickBuffer.record<NMHDR>();
    click = NMHDR{tree, static_cast<UINT_PTR>(GetDlgCtrlID(tree)), static_cast<UINT>(NM_CLICK)};
    const WPARAM id = click.idFrom;
    static_cast<void>(channel.send(GetParent(tree), WM_NOTIFY, id, clickBuffer.address(), {&clickBuffer}));
}

}  // namespace

void collectTreeItems(MessageChannel& channel, HWND tree, HTREEITEM item, TreeItems& items)
{
    if (item == nullptr) {
        items.clear();
    } else {
        const std::string caption = treeItemText(channel, tree, item);
        items[caption] = item;
        if (isUnwalked(caption)) {
            return;
        }
    }
    for (HTREEITEM child = nextItem(channel, tree, item, TVGN_CHILD); child != nullptr;
         child = nextItem(channel, tree, child, TVGN_NEXT)) {
        collectTreeItems(channel, tree, child, items);
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
    MessageChannel& channel = client.channel;
    const HTREEITEM selected = nextItem(channel, tree, nullptr, TVGN_CARET);
    const HWND previous = findActivePage(client);
    const HTREEITEM item = items[caption];
    if (selected == item && previous != nullptr) {
        return previous;
    }
    static_cast<void>(channel.send(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item)));
    const POINT centre = itemCentreOnScreen(channel, tree, item);
    const FineTimer fineTimer;  // each pause 100 ms, not the next timer tick after it
    for (int attempt = 0; attempt < bounds::treeClickLimit && !channel.lost(); ++attempt) {
        SetCursorPos(centre.x, centre.y);
        Sleep(bounds::treeClickPauseMs);
        sendTreeClick(channel, tree);
        Sleep(bounds::treeClickPauseMs);
        const HWND page = findActivePage(client);
        if (page != nullptr && page != previous) {
            return page;
        }
    }
    return nullptr;
}

}  // namespace zelvo
