// The small window layer the library is built on: text reads, the searches
// by control ID, the main window's current pop-up, clicks, showing and
// placement. All text is GBK bytes exactly as the ANSI window messages give
// it. Everything that makes the window's thread do something goes through a
// MessageChannel and is bounded; the searches ask only the window manager.
#pragma once
#include <windows.h>

#include <string>

#include "platform/message_channel.h"

namespace zelvo {

// The whole window text, whatever its length; empty for a null window and
// when the window's thread did not answer.
[[nodiscard]] std::string windowText(MessageChannel& channel, HWND window);

// Window text read into a 256-byte buffer, as compared when windows are
// searched by class and title.
[[nodiscard]] std::string shortWindowText(MessageChannel& channel, HWND window);
// The class name (asked of the window manager, not of the window).
[[nodiscard]] std::string className(HWND window);

// Replaces the window's text. False when its thread did not answer.
bool setWindowText(MessageChannel& channel, HWND window, const std::string& text);
// Empties the window's text. The empty text is the library's own constant:
// a message given up on keeps no memory then (and the library stays loaded).
bool clearWindowText(MessageChannel& channel, HWND window);

// The text of a combo box's selected entry; empty when none is selected.
[[nodiscard]] std::string comboSelectionText(MessageChannel& channel, HWND comboBox);

// The first descendant of `parent` with control ID `id`: the direct children
// are tried first (a child with a same-ID descendant yields that descendant),
// then each child's subtree depth first, in z-order. Null when none.
[[nodiscard]] HWND findDescendantById(HWND parent, int id);

// The first direct child of `parent` with the given class, or null.
[[nodiscard]] HWND findChildByClass(HWND parent, const char* windowClass);

// The enabled pop-up of `owner`: a visible, enabled top-level window of the
// owner's process, made by any of its threads, whose owner chain leads to
// `owner`; the topmost one. Null when there is none.
// Stands in for GetWindow(owner, GW_ENABLEDPOPUP), which Wine does not
// implement, so the same code path runs on Windows and under Wine.
[[nodiscard]] HWND enabledPopup(HWND owner);

// Clicks a dialog button the way a dialog's own button reports a click:
// WM_COMMAND(id, BN_CLICKED) with the button as lParam, to the button's
// parent; sent (false when unanswered) or posted (false when not posted).
bool sendButtonClick(MessageChannel& channel, HWND button);
bool postButtonClick(MessageChannel& channel, HWND button);

// The DPI the window is shown at, in the calling thread's view: its
// monitor's for a DPI-aware program, 96 for one the system scales.
[[nodiscard]] int windowDpi(HWND window);

// Posts a left button click at `point` (client coordinates) and returns.
void postClick(MessageChannel& channel, HWND window, POINT point);

// Shows or hides a window of another thread without waiting on it
// (ShowWindowAsync), then waits, bounded, until its thread has done it.
// False when the thread did not answer.
bool showWindow(MessageChannel& channel, HWND window, int command);

// Moves a top-level window inside the desktop, keeping its size, the same
// way. False when its thread did not answer.
bool placeInsideDesktop(MessageChannel& channel, HWND window);

// Takes at most one message from the calling thread's queue and dispatches it.
void pumpOneMessage();

}  // namespace zelvo
