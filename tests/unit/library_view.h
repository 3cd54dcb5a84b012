// The library's view of a client window, for tests that drive the library's
// code directly: a channel with the library's bound, an empty profile and
// the main window, as a workflow would hand them down.
#pragma once
#include <windows.h>

#include "client/bounds.h"
#include "client/client.h"
#include "client/editions.h"
#include "platform/message_channel.h"

struct LibraryView {
    explicit LibraryView(HWND mainWindow, DWORD answerMs = zelvo::bounds::clientAnswerMs)
        : channel(pending, answerMs), client{mainWindow, profile, channel}
    {
    }
    LibraryView(const LibraryView&) = delete;
    LibraryView& operator=(const LibraryView&) = delete;

    zelvo::PendingBuffers pending;
    zelvo::MessageChannel channel;
    zelvo::BrokerProfile profile;
    zelvo::Client client;
};
