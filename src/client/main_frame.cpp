#include "client/main_frame.h"

#include <string>

#include "client/bounds.h"
#include "client/client_ui.h"
#include "platform/clock.h"
#include "platform/windows_ui.h"

namespace zelvo {

namespace {

bool matches(HWND window, const char* windowClass, const char* text)
{
    return (windowClass == nullptr || className(window) == windowClass) &&
           (text == nullptr || shortWindowText(window) == text);
}

// Sends WM_CLOSE and waits until the pop-up is hidden or another one has
// come up in front of it. False when neither happened within the bound.
bool closeOnePopup(HWND mainWindow, HWND popup)
{
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(popup, WM_CLOSE, 0, 0, SMTO_NORMAL, bounds::popupCloseMs, &ignored);
    const Deadline deadline(bounds::popupCloseMs);
    for (;;) {
        const HWND current = enabledPopup(mainWindow);
        if (!IsWindowVisible(popup) || (current != nullptr && current != popup)) {
            return true;
        }
        if (deadline.expired()) {
            return false;
        }
        Sleep(1);
    }
}

}  // namespace

HWND findMainFrame()
{
    const DWORD ownProcess = GetCurrentProcessId();
    HWND frame = nullptr;
    while ((frame = FindWindowExA(nullptr, frame, client_ui::mainFrameClass, nullptr)) != nullptr) {
        DWORD process = 0;
        GetWindowThreadProcessId(frame, &process);
        if (process == ownProcess) {
            return frame;
        }
    }
    return nullptr;
}

HWND findDescendant(HWND root, const char* windowClass, const char* text)
{
    if (root == nullptr) {
        return nullptr;
    }
    if (matches(root, windowClass, text)) {
        return root;
    }
    HWND child = nullptr;
    while ((child = FindWindowExA(root, child, nullptr, nullptr)) != nullptr) {
        if (HWND found = findDescendant(child, windowClass, text)) {
            return found;
        }
    }
    return nullptr;
}

bool closePopups(HWND mainWindow)
{
    HWND popup = enabledPopup(mainWindow);
    for (int closed = 0; popup != nullptr; ++closed) {
        if (closed >= bounds::popupLimit || !closeOnePopup(mainWindow, popup)) {
            return false;
        }
        popup = enabledPopup(mainWindow);
    }
    return true;
}

}  // namespace zelvo
