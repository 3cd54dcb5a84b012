// The one process-wide session: whether the library is attached to the
// trading client, which windows it found there, the profile of the
// recognised edition, the page caches and the lock that serialises every
// exported call.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <map>
#include <string>

#include "client/client.h"
#include "client/editions.h"
#include "client/function_tree.h"
#include "platform/lock.h"

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
    // The double-click record a cancel posts to the client. It lives here, not
    // on the caller's stack, because the client may read it after the cancel
    // call has returned (a bounded wait can end before the client answers).
    NMITEMACTIVATE cancelActivation = {};

    // The client as an operation of this session reaches it.
    [[nodiscard]] Client client() const noexcept { return Client{mainWindow, profile}; }
};

// The session object, constructed at library load, destroyed at unload.
SessionState& session();

}  // namespace zelvo
