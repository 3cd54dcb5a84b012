#include "session/operation.h"

#include "client/main_frame.h"
#include "platform/windows_ui.h"
#include "zelvo_answers.h"

namespace zelvo {

bool refuseNestedCall(const SessionState& s, std::string& message)
{
    if (!s.lock.heldByCallingThread()) {
        return false;
    }
    message = answers::callInProgress;
    return true;
}

bool startOperation(const SessionState& s, const Client& client, std::string& message)
{
    // Hidden since the attach, as a rule: then nothing needs asking of the client.
    const bool hidden = s.mainWindow == nullptr || !IsWindowVisible(s.mainWindow) ||
                        showWindow(client.channel, s.mainWindow, SW_HIDE);
    if (!s.attached) {
        message = answers::notLoggedIn;
        return false;
    }
    if (!client.alive()) {
        message = answers::clientGone;
        return false;
    }
    if (!hidden) {
        message = answers::clientNotAnswering;
        return false;
    }
    switch (closePopups(client)) {
    case PopupsClosed::All: return true;
    case PopupsClosed::OneStaysOpen: message = answers::popupsStayOpen; return false;
    case PopupsClosed::NoAnswer: message = answers::clientNotAnswering; return false;
    }
    return false;
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

bool explainClientStop(const Client& client, Commitment commitment, std::string& message)
{
    if (client.channel.lost()) {
        const char* const texts[] = {answers::clientNotAnswering, answers::orderNotAnswering,
                                     answers::cancelNotAnswering};
        message = texts[static_cast<int>(commitment)];
        return true;
    }
    if (!client.alive()) {
        const char* const texts[] = {answers::clientGone, answers::orderClientGone, answers::cancelClientGone};
        message = texts[static_cast<int>(commitment)];
        return true;
    }
    return false;
}

}  // namespace zelvo
