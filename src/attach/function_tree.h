// The client's function tree and its pages: learning the tree by caption,
// clicking an item until its page is active, and telling which page is active.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "session/session.h"

namespace zelvo {

// With null: empties treeItems and records the whole tree; with an item:
// records it and, unless its caption is one of the unwalked ones, its subtree.
void collectTreeItems(SessionState& state, HTREEITEM item);

// Clicks the caption's tree item until the client shows a new active page.
// Null when no new page came within the bound of clicks.
[[nodiscard]] HWND openFunction(SessionState& state, const std::string& caption);

// The page whose list (or, on one edition, nested dialog) is visible and
// enabled now; null when there is none.
[[nodiscard]] HWND findActivePage(const SessionState& state);

// Moves the main window inside the desktop, keeping its size.
void placeInsideDesktop(HWND window);

}  // namespace zelvo
