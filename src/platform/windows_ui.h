// The small window layer the library is built on: text reads, the searches
// by control ID, the main window's current pop-up, clicks and placement.
// All text is GBK bytes exactly as the ANSI window functions return them.
#pragma once
#include <windows.h>
#include <string>

namespace zelvo {

// The whole window text, whatever its length; empty for a null window.
[[nodiscard]] std::string windowText(HWND window);

// Window text and class name read into 256-byte buffers, as compared when
// windows are searched by class and title.
[[nodiscard]] std::string shortWindowText(HWND window);
[[nodiscard]] std::string className(HWND window);

// The first descendant of `parent` with control ID `id`: the direct children
// are tried first (a child with a same-ID descendant yields that descendant),
// then each child's subtree depth first, in z-order. Null when none.
[[nodiscard]] HWND findDescendantById(HWND parent, int id);

// The first direct child of `parent` with the given class, or null.
[[nodiscard]] HWND findChildByClass(HWND parent, const char* windowClass);

// The enabled pop-up of `owner`: a visible, enabled top-level window of the
// owner's thread whose owner chain leads to `owner`. Null when there is none.
// Stands in for GetWindow(owner, GW_ENABLEDPOPUP), which Wine does not
// implement, so the same code path runs on Windows and under Wine.
[[nodiscard]] HWND enabledPopup(HWND owner);

// The text of a combo box's selected entry; empty when none is selected.
[[nodiscard]] std::string comboSelectionText(HWND comboBox);

// Clicks a dialog button the way a dialog's own button reports a click:
// WM_COMMAND(id, BN_CLICKED) with the button as lParam, to the button's parent.
void sendButtonClick(HWND button);
void postButtonClick(HWND button);

// Posts a left button click at `point` (client coordinates) and returns.
void postClick(HWND window, POINT point);

// Moves a top-level window inside the desktop, keeping its size.
void placeInsideDesktop(HWND window);

// Takes at most one message from the calling thread's queue and dispatches it.
void pumpOneMessage();

}  // namespace zelvo
