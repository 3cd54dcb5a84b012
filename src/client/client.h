// What one operation needs to reach the trading client: its main window and
// the profile of its edition. Built by the workflow from the session it
// holds locked, and handed down, so nothing below reads the session.
#pragma once
#include <windows.h>

#include "client/editions.h"

namespace zelvo {

struct Client {
    HWND mainWindow;
    const BrokerProfile& profile;
};

}  // namespace zelvo
