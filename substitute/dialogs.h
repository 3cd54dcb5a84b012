// How the substitute client makes its windows: dialog windows of class
// "#32770" built from an empty in-memory template, and controls added
// afterwards, every text given as GBK bytes. A client thread makes them in
// the shape its client takes: ANSI or Unicode windows (the W functions, the
// texts converted from GBK), and controls with a procedure of the client's
// in front of the system's, as a class framework attaches a control to its
// object.
#pragma once
#include <windows.h>

#include <string>

namespace substitute {

struct WindowMaking {
    bool unicode = false;
    bool subclassed = false;
};

// How the calling thread makes its windows from now on.
void setWindowMaking(const WindowMaking& making);
[[nodiscard]] const WindowMaking& windowMaking();

// A modeless dialog: a pop-up owned by `owner`, or a child of it with WS_CHILD.
HWND createDialog(HWND owner, DWORD style, DLGPROC proc, LPARAM param);

// A modal dialog owned by `owner`; returns the EndDialog value. `proc` builds
// its controls on WM_INITDIALOG.
INT_PTR runModalDialog(HWND owner, DLGPROC proc, LPARAM param);

HWND addControl(HWND parent, const char* windowClass, const std::string& text, DWORD style, int id,
                int x, int y, int width, int height);

// A window of one of the client's own classes (registered ANSI), made
// Unicode when the thread makes Unicode windows: its procedure is then set
// again as a Unicode one (`wideProc`), as a Unicode program's would be.
HWND createOwnWindow(const char* windowClass, const std::string& text, DWORD style, int x, int y, int width,
                     int height, HWND parent, int id, WNDPROC wideProc);

// GBK text as UTF-16, and back.
[[nodiscard]] std::wstring wideText(const std::string& gbk);
[[nodiscard]] std::string gbkText(const std::wstring& wide);

}  // namespace substitute
