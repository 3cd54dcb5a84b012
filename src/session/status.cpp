#include "session/status.h"

#include "platform/windows_ui.h"
#include "session/session.h"

namespace zelvo {

void logout()
{
    SessionState& s = session();
    // A logout from inside another call of this thread would pull the
    // session from under that call: it does nothing.
    if (s.lock.heldByCallingThread()) {
        return;
    }
    LockGuard guard(s.lock);
    s.attached = false;
    s.pageWindows.clear();
    if (s.mainWindow != nullptr) {
        MessageChannel channel = s.channel();
        static_cast<void>(showWindow(channel, s.mainWindow, SW_SHOW));
    }
    s.mainWindow = nullptr;
}

std::string mainWindowTitle()
{
    SessionState& s = session();
    LockGuard guard(s.lock);
    MessageChannel channel = s.channel();
    return windowText(channel, s.mainWindow);
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
    MessageChannel channel = s.channel();
    return comboSelectionText(channel, s.accountBox);
}

}  // namespace zelvo
