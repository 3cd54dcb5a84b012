#include "attach/function_tree.h"

#include <cstring>
#include <vector>

#include "attach/attach_texts.h"
#include "platform/windows_ui.h"

namespace zelvo {

namespace {

constexpr DWORD clickPauseMs = 100;
// 50 clicks of 200 ms each: about ten seconds for one page to come up.
constexpr int openFunctionClickLimit = 50;
constexpr char nestedDialogBroker[] = "齐鲁";

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
    for (const char* unwalked : attach_texts::unwalkedCaptions) {
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

bool isActivePage(HWND page, const std::string& brokerName)
{
    if (isLiveVisibleEnabled(FindWindowExA(page, nullptr, attach_texts::listViewClass, nullptr))) {
        return true;
    }
    return brokerName == nestedDialogBroker &&
           isLiveVisibleEnabled(FindWindowExA(page, nullptr, attach_texts::dialogClass, nullptr));
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

LONG shiftInside(LONG low, LONG high, LONG deskLow, LONG deskHigh)
{
    LONG shift = 0;
    if (low < deskLow) {
        shift = deskLow - low;
    }
    if (high + shift > deskHigh) {
        shift = deskHigh - high;  // the second shift wins for an oversized window
    }
    return shift;
}

}  // namespace

void collectTreeItems(SessionState& state, HTREEITEM item)
{
    if (item == nullptr) {
        state.treeItems.clear();
    } else {
        const std::string caption = treeItemText(state.functionTree, item);
        state.treeItems[caption] = item;
        if (isUnwalked(caption)) {
            return;
        }
    }
    for (HTREEITEM child = nextItem(state.functionTree, item, TVGN_CHILD); child != nullptr;
         child = nextItem(state.functionTree, child, TVGN_NEXT)) {
        collectTreeItems(state, child);
    }
}

HWND findActivePage(const SessionState& state)
{
    const HWND host = findDescendantById(state.mainWindow, state.profile.pageHostId);
    if (host == nullptr) {
        return nullptr;
    }
    HWND page = nullptr;
    while ((page = FindWindowExA(host, page, attach_texts::dialogClass, nullptr)) != nullptr) {
        if (isActivePage(page, state.profile.brokerName)) {
            return page;
        }
    }
    return nullptr;
}

HWND openFunction(SessionState& state, const std::string& caption)
{
    const HWND tree = state.functionTree;
    const HTREEITEM selected = nextItem(tree, nullptr, TVGN_CARET);
    const HWND previous = findActivePage(state);
    const HTREEITEM item = state.treeItems[caption];
    if (selected == item && previous != nullptr) {
        return previous;
    }
    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    const POINT centre = itemCentreOnScreen(tree, item);
    NMHDR click = {tree, static_cast<UINT_PTR>(GetDlgCtrlID(tree)), static_cast<UINT>(NM_CLICK)};
    for (int attempt = 0; attempt < openFunctionClickLimit; ++attempt) {
        SetCursorPos(centre.x, centre.y);
        Sleep(clickPauseMs);
        SendMessageA(GetParent(tree), WM_NOTIFY, click.idFrom, reinterpret_cast<LPARAM>(&click));
        Sleep(clickPauseMs);
        const HWND page = findActivePage(state);
        if (page != nullptr && page != previous) {
            return page;
        }
    }
    return nullptr;
}

void placeInsideDesktop(HWND window)
{
    RECT desktop = {};
    RECT box = {};
    GetWindowRect(GetDesktopWindow(), &desktop);
    GetWindowRect(window, &box);
    const LONG dx = shiftInside(box.left, box.right, desktop.left, desktop.right);
    const LONG dy = shiftInside(box.top, box.bottom, desktop.top, desktop.bottom);
    MoveWindow(window, box.left + dx, box.top + dy, box.right - box.left, box.bottom - box.top, TRUE);
}

}  // namespace zelvo
