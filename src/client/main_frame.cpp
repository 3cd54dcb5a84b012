#include "client/main_frame.h"

#include <string>

#include "client/bounds.h"
#include "client/client_ui.h"
#include "platform/clock.h"
#include "platform/fine_timer.h"
#include "platform/windows_ui.h"

namespace zelvo {

namespace {

bool matches(MessageChannel& channel, HWND window, const char* windowClass, const char* text)
{
    return (windowClass == nullptr || className(window) == windowClass) &&
           (text == nullptr || shortWindowText(channel, window) == text);
}

bool closed(HWND mainWindow, HWND popup)
{
    const HWND current = enabledPopup(mainWindow);
    return !IsWindowVisible(popup) || (current != nullptr && current != popup);
}

// Sends WM_CLOSE and waits until the pop-up is hidden or another one has
// come up in front of it, within one bound for both.
PopupsClosed closeOnePopup(const Client& client, HWND popup)
{
    const Deadline deadline(bounds::popupCloseMs);
    if (!client.channel.send(popup, WM_CLOSE, 0, 0)) {
        return PopupsClosed::NoAnswer;
    }
    const FineTimer fineTimer;
    while (!closed(client.mainWindow, popup)) {
        if (deadline.expired()) {
            return PopupsClosed::OneStaysOpen;
        }
        Sleep(bounds::pollPauseMs);
    }
    return PopupsClosed::All;
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

HWND findDescendant(MessageChannel& channel, HWND root, const char* windowClass, const char* text)
{
    if (root == nullptr) {
        return nullptr;
    }
    if (matches(channel, root, windowClass, text)) {
        return root;
    }
    HWND child = nullptr;
    while ((child = FindWindowExA(root, child, nullptr, nullptr)) != nullptr) {
        if (HWND found = findDescendant(channel, child, windowClass, text)) {
            return found;
        }
    }
    return nullptr;
}

PopupsClosed closePopups(const Client& client)
{
    HWND popup = enabledPopup(client.mainWindow);
    for (int count = 0; popup != nullptr; ++count) {
        if (count >= bounds::popupLimit) {
            return PopupsClosed::OneStaysOpen;
        }
        if (const PopupsClosed result = closeOnePopup(client, popup); result != PopupsClosed::All) {
            return result;
        }
        popup = enabledPopup(client.mainWindow);
    }
    return PopupsClosed::All;
}

}  // namespace zelvo
