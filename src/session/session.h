// The one process-wide session: whether the library is attached to the
// trading client, which windows it found there, the profile of the
// recognised edition, the page caches and the lock that serialises every
// exported call.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <array>
#include <cstddef>
#include <map>
#include <string>

#include "client/bounds.h"
#include "client/client.h"
#include "client/editions.h"
#include "client/function_tree.h"
#include "platform/lock.h"
#include "platform/message_channel.h"

namespace zelvo {

struct SessionState {
    bool attached = false;
    HWND mainWindow = nullptr;
    // Caption to the page window that clicking that caption opened. Lookups
    // with operator[] insert a null entry for a caption never opened; readers
    // treat null as "no page".
    std::map<std::string, HWND> pageWindows;
    BrokerProfile profile;
    std::string tradePassword;
    RecursiveLock lock;
    HWND functionTree = nullptr;
    HWND accountBox = nullptr;
    TreeItems treeItems;
    // The double-click records cancels post to the client. They live here, not
    // on the caller's stack, because the client may read one after the cancel
    // has returned (a bounded wait can end before the client answers); each
    // cancel takes the next, so a record is not rewritten while the client
    // may still have its message queued.
    std::array<NMITEMACTIVATE, 16> cancelActivations = {};
    std::size_t nextCancelActivation = 0;
    // Memory of messages the client's thread has not handled yet.
    PendingBuffers pendingBuffers;

    // A channel for one call: every message to the client is bounded by it.
    [[nodiscard]] MessageChannel channel() noexcept { return MessageChannel(pendingBuffers, bounds::clientAnswerMs); }
    // The client as an operation of this session reaches it.
    [[nodiscard]] Client client(MessageChannel& channel) const noexcept
    {
        return Client{mainWindow, profile, channel};
    }
};

// The session object, constructed at library load, destroyed at unload.
SessionState& session();

}  // namespace zelvo
