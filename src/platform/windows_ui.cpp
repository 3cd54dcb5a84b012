#include "platform/windows_ui.h"

#include <vector>

namespace zelvo {

std::string windowText(HWND window)
{
    if (window == nullptr) {
        return {};
    }
    const int length = GetWindowTextLengthA(window);
    if (length <= 0) {
        return {};
    }
    // Two spare bytes: some controls (Wine's combo box) count the terminator
    // into the buffer size differently.
    std::vector<char> buffer(static_cast<size_t>(length) + 2, '\0');
    GetWindowTextA(window, buffer.data(), static_cast<int>(buffer.size()));
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

}  // namespace

HWND enabledPopup(HWND owner)
{
    if (owner == nullptr || !IsWindow(owner)) {
        return nullptr;
    }
    const DWORD ownerThread = GetWindowThreadProcessId(owner, nullptr);
    // Top-level windows in z-order, topmost first: the first match is the
    // pop-up the user would see in front.
    for (HWND window = GetTopWindow(nullptr); window != nullptr; window = GetWindow(window, GW_HWNDNEXT)) {
        if (window == owner || GetWindowThreadProcessId(window, nullptr) != ownerThread) {
            continue;
        }
        if (IsWindowVisible(window) && IsWindowEnabled(window) && isOwnedBy(window, owner)) {
            return window;
        }
    }
    return nullptr;
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
