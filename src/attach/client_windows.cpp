#include "attach/client_windows.h"

#include <string>

#include "attach/attach_texts.h"
#include "platform/clock.h"
#include "platform/windows_ui.h"
#include "session/session.h"

namespace zelvo {

namespace {

constexpr DWORD popupCloseBoundMs = 5000;
// More pop-ups than this in a row means the client keeps opening new ones.
constexpr int popupLimit = 100;

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
    SendMessageTimeoutA(popup, WM_CLOSE, 0, 0, SMTO_NORMAL, popupCloseBoundMs, &ignored);
    const Deadline deadline(popupCloseBoundMs);
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
    while ((frame = FindWindowExA(nullptr, frame, attach_texts::mainFrameClass, nullptr)) != nullptr) {
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

bool closePopups()
{
    const HWND mainWindow = session().mainWindow;
    HWND popup = enabledPopup(mainWindow);
    for (int closed = 0; popup != nullptr; ++closed) {
        if (closed >= popupLimit || !closeOnePopup(mainWindow, popup)) {
            return false;
        }
        popup = enabledPopup(mainWindow);
    }
    return true;
}

}  // namespace zelvo
