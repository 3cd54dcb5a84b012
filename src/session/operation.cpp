#include "session/operation.h"

#include "attach/client_windows.h"

namespace zelvo {

bool clientAlive(const SessionState& s)
{
    return s.mainWindow != nullptr && IsWindow(s.mainWindow);
}

bool startOperation(SessionState& s, std::string& message)
{
    if (s.mainWindow != nullptr) {
        ShowWindow(s.mainWindow, SW_HIDE);
    }
    if (!s.attached) {
        message = operation_texts::notLoggedIn;
        return false;
    }
    if (!clientAlive(s)) {
        message = operation_texts::clientGone;
        return false;
    }
    if (!closePopups()) {
        message = operation_texts::popupsStayOpen;
        return false;
    }
    return true;
}

HWND pageForCaption(SessionState& s, const std::string& caption, std::string& message)
{
    const HWND page = caption.empty() ? nullptr : s.pageWindows[caption];
    if (page == nullptr) {
        message = operation_texts::notSupported;
    }
    return page;
}

}  // namespace zelvo
