// Finding the client's windows and clearing its pop-ups: shared by the attach
// step and by every order, cancel and query.
#pragma once
#include <windows.h>

namespace zelvo {

// The client's main frame in this process, or null.
[[nodiscard]] HWND findMainFrame();

// The first window at or below `root`, depth first in pre-order, whose class
// name and window text equal the given ones (null: any). Hidden and disabled
// windows count.
[[nodiscard]] HWND findDescendant(HWND root, const char* windowClass, const char* text);

// Closes every enabled pop-up of the main window, one after the other. False
// when one of them did not close within its bound; it is then left alone and
// the caller must stop before touching the client.
[[nodiscard]] bool closePopups(HWND mainWindow);

}  // namespace zelvo
