#include "session/status.h"

#include <vector>

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
    if (s.accountBox == nullptr) {
        return {};
    }
    const LRESULT index = SendMessageA(s.accountBox, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR) {
        return {};
    }
    const LRESULT length = SendMessageA(s.accountBox, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == CB_ERR || length < 0) {
        return {};
    }
    std::vector<char> buffer(static_cast<size_t>(length) + 2, '\0');
    SendMessageA(s.accountBox, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer.data()));
    buffer.back() = '\0';
    return std::string(buffer.data());
}

}  // namespace zelvo
