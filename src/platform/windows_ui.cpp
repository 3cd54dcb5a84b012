#include "platform/windows_ui.h"

#include <algorithm>
#include <vector>

namespace zelvo {

std::string windowText(HWND window)
{
    if (window == nullptr) {
        return {};
    }
    // Another thread's window answers each call with a message round trip:
    // one read into a buffer that holds any usual text, and the length
    // asked for only when the text may not have fitted.
    char first[512] = {};
    const int read = GetWindowTextA(window, first, sizeof first);
    if (read < static_cast<int>(sizeof first) - 2) {
        first[sizeof first - 1] = '\0';
        return first;
    }
    const int length = GetWindowTextLengthA(window);
    // Two spare bytes: some controls (Wine's combo box) count the terminator
    // into the buffer size differently.
    std::vector<char> buffer(static_cast<size_t>(std::max(length, 0)) + 2, '\0');
    GetWindowTextA(window, buffer.data(), static_cast<int>(buffer.size()));
    buffer.back() = '\0';
    return std::string(buffer.data());
}

std::string shortWindowText(HWND window)
{
    char buffer[256] = {};
    GetWindowTextA(window, buffer, sizeof buffer);
    buffer[sizeof buffer - 1] = '\0';
    return buffer;
}

std::string className(HWND window)
{
    char buffer[256] = {};
    GetClassNameA(window, buffer, sizeof buffer);
    buffer[sizeof buffer - 1] = '\0';
    return buffer;
}

HWND findDescendantById(HWND parent, int id)
{
    if (parent == nullptr) {
        return nullptr;
    }
    if (HWND child = GetDlgItem(parent, id)) {
        if (GetTopWindow(child) != nullptr) {
            if (HWND nested = findDescendantById(child, id)) {
                return nested;
            }
        }
        return child;
    }
    for (HWND child = GetTopWindow(parent); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        if (HWND found = findDescendantById(child, id)) {
            return found;
        }
    }
    return nullptr;
}

HWND findChildByClass(HWND parent, const char* windowClass)
{
    return parent == nullptr ? nullptr : FindWindowExA(parent, nullptr, windowClass, nullptr);
}

namespace {

bool isOwnedBy(HWND window, HWND owner)
{
    // Owner chains are short; the bound only guards against a cycle.
    HWND current = GetWindow(window, GW_OWNER);
    for (int depth = 0; current != nullptr && depth < 64; ++depth) {
        if (current == owner) {
            return true;
        }
        current = GetWindow(current, GW_OWNER);
    }
    return false;
}

struct PopupSearch {
    HWND owner;
    HWND found;
};

BOOL CALLBACK takeFirstPopup(HWND window, LPARAM parameter) noexcept
{
    auto& search = *reinterpret_cast<PopupSearch*>(parameter);
    if (window != search.owner && IsWindowVisible(window) && IsWindowEnabled(window) &&
        isOwnedBy(window, search.owner)) {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

HWND enabledPopup(HWND owner)
{
    if (owner == nullptr || !IsWindow(owner)) {
        return nullptr;
    }
    // The owner thread's top-level windows come in z-order, topmost first,
    // from one request to the window manager: the first match is the pop-up
    // the user would see in front. Walking the whole desktop instead cost a
    // request per window of every process at each 1 ms poll.
    PopupSearch search{owner, nullptr};
    EnumThreadWindows(GetWindowThreadProcessId(owner, nullptr), takeFirstPopup, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void sendButtonClick(HWND button)
{
    if (button == nullptr) {
        return;
    }
    const int id = GetDlgCtrlID(button);
    SendMessageA(GetParent(button), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

void postButtonClick(HWND button)
{
    if (button == nullptr) {
        return;
    }
    const int id = GetDlgCtrlID(button);
    PostMessageA(GetParent(button), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

void pumpOneMessage()
{
    MSG message;
    if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

}  // namespace zelvo
