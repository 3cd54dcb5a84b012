// Dialog windows of class "#32770" built from an empty in-memory template;
// their controls are added afterwards with CreateWindowExA so that every text
// is set as GBK bytes, as the real client's ANSI dialogs hold them.
#pragma once
#include <windows.h>

#include <string>

namespace substitute {

// A modeless dialog: a pop-up owned by `owner`, or a child of it with WS_CHILD.
HWND createDialog(HWND owner, DWORD style, DLGPROC proc, LPARAM param);

// A modal dialog owned by `owner`; returns the EndDialog value. `proc` builds
// its controls on WM_INITDIALOG.
INT_PTR runModalDialog(HWND owner, DLGPROC proc, LPARAM param);

HWND addControl(HWND parent, const char* windowClass, const std::string& text, DWORD style, int id,
                int x, int y, int width, int height);

}  // namespace substitute
