// Finding the client's windows and clearing its pop-ups: shared by the attach
// step and by every order, cancel and query.
#pragma once
#include <windows.h>

#include "client/client.h"
#include "platform/message_channel.h"

namespace zelvo {

// The client's main frame in this process, or null.
[[nodiscard]] HWND findMainFrame();

// The first window at or below `root`, depth first in pre-order, whose class
// name and window text equal the given ones (null: any). Hidden and disabled
// windows count. The text is read only of windows of the class.
[[nodiscard]] HWND findDescendant(MessageChannel& channel, HWND root, const char* windowClass, const char* text);

// Declines a pop-up: asks it to close, as its title bar's close button
// does, without waiting for it (a pop-up may answer with a question of its
// own). A confirmation closed this way confirms nothing.
void declinePopup(const Client& client, HWND popup);

// How closing the client's stray pop-ups ended.
enum class PopupsClosed {
    All,
    OneStaysOpen,  // a pop-up did not close within its bound; it is left alone
    NoAnswer,      // the client's thread did not answer
};

// Closes every enabled pop-up of the main window, one after the other, each
// within 5 s in all. On anything but All the caller must stop before
// touching the client.
[[nodiscard]] PopupsClosed closePopups(const Client& client);

}  // namespace zelvo
