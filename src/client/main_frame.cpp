#include "client/main_frame.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

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

// Declines the pop-up (declinePopup), then waits until the pop-up is hidden or another one has come
// up in front of it, within one bound. A pop-up asked already, in front again
// once its question is answered, is only waited for: asked again it would
// ask again, from inside its first answer.
PopupsClosed closeOnePopup(const Client& client, HWND popup, std::vector<HWND>& asked)
{
    const Deadline deadline(bounds::popupCloseMs);
    const FineTimer fineTimer;
    if (std::find(asked.begin(), asked.end(), popup) == asked.end()) {
        asked.push_back(popup);
        declinePopup(client, popup);
    }
    while (!closed(client.mainWindow, popup)) {
        if (!client.answering()) {
            return PopupsClosed::NoAnswer;
        }
        if (deadline.expired()) {
            return client.channel.sync(client.mainWindow) ? PopupsClosed::OneStaysOpen : PopupsClosed::NoAnswer;
        }
        Sleep(bounds::pollPauseMs);
    }
    // A pop-up is hidden before it is destroyed: once the client's thread has
    // handled a message sent after WM_CLOSE, it is done with the close (or
    // waits in a question of its own, which comes next).
    return client.channel.sync(client.mainWindow) ? PopupsClosed::All : PopupsClosed::NoAnswer;
}

// The top-level windows come from one snapshot of the desktop. Stepping
// through them with FindWindowEx instead asks again at each step, and a
// window of another program raised or closed meanwhile can make that walk
// skip the client's frame.
BOOL CALLBACK takeOwnProcessFrame(HWND window, LPARAM parameter) noexcept
{
    char name[64] = {};
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId() || GetClassNameA(window, name, sizeof name) == 0 ||
        std::strcmp(name, client_ui::mainFrameClass) != 0) {
        return TRUE;
    }
    *reinterpret_cast<HWND*>(parameter) = window;
    return FALSE;
}

}  // namespace

void declinePopup(const Client& client, HWND popup)
{
    client.channel.notify(popup, WM_CLOSE, 0, 0);
}

HWND findMainFrame()
{
    HWND frame = nullptr;
    EnumWindows(takeOwnProcessFrame, reinterpret_cast<LPARAM>(&frame));
    return frame;
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
    std::vector<HWND> asked;
    HWND popup = enabledPopup(client.mainWindow);
    for (int count = 0; popup != nullptr; ++count) {
        if (count >= bounds::popupLimit) {
            return PopupsClosed::OneStaysOpen;
        }
        if (const PopupsClosed result = closeOnePopup(client, popup, asked); result != PopupsClosed::All) {
            return result;
        }
        popup = enabledPopup(client.mainWindow);
    }
    return PopupsClosed::All;
}

}  // namespace zelvo
