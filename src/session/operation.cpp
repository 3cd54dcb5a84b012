#include "session/operation.h"

#include "client/main_frame.h"
#include "zelvo_answers.h"

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
        message = answers::notLoggedIn;
        return false;
    }
    if (!clientAlive(s)) {
        message = answers::clientGone;
        return false;
    }
    if (!closePopups(s.mainWindow)) {
        message = answers::popupsStayOpen;
        return false;
    }
    return true;
}

HWND pageWindow(SessionState& s, std::optional<Page> page, std::string& message)
{
    const std::string caption = page ? s.profile.caption(*page) : std::string();
    const HWND window = caption.empty() ? nullptr : s.pageWindows[caption];
    if (window == nullptr) {
        message = answers::notSupported;
    }
    return window;
}

}  // namespace zelvo
