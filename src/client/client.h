// What one operation needs to reach the trading client: its main window,
// the profile of its edition and the channel that bounds every message to
// the client's thread. Built by the workflow from the session it holds
// locked, and handed down, so nothing below reads the session.
#pragma once
#include <windows.h>

#include "client/editions.h"
#include "platform/message_channel.h"

namespace zelvo {

struct Client {
    HWND mainWindow;
    const BrokerProfile& profile;
    MessageChannel& channel;

    // The client still shows its main window: every wait ends early when it
    // does not, since nothing can answer any more.
    [[nodiscard]] bool alive() const noexcept { return mainWindow != nullptr && IsWindow(mainWindow) != FALSE; }
    // The client's thread still answers (see MessageChannel::answering).
    [[nodiscard]] bool answering() const { return channel.answering(mainWindow); }
};

}  // namespace zelvo
