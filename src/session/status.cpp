#include "session/status.h"

#include "platform/windows_ui.h"
#include "session/session.h"

namespace zelvo {

void logout()
{
    SessionState& s = session();
    LockGuard guard(s.lock);
    s.attached = false;
    s.pageWindows.clear();
    if (s.mainWindow != nullptr) {
        ShowWindow(s.mainWindow, SW_SHOW);
    }
    s.mainWindow = nullptr;
}

std::string mainWindowTitle()
{
    SessionState& s = session();
    LockGuard guard(s.lock);
    return windowText(s.mainWindow);
}

std::string brokerName()
{
    SessionState& s = session();
    LockGuard guard(s.lock);
    return s.profile.brokerName;
}

std::string selectedAccount()
{
    SessionState& s = session();
    LockGuard guard(s.lock);
    return comboSelectionText(s.accountBox);
}

}  // namespace zelvo
