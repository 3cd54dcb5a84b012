// The client's function tree and its pages: learning the tree by caption,
// clicking an item until its page is active, and telling which page is active.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <map>
#include <string>

#include "client/client.h"

namespace zelvo {

// Caption to tree item. Lookups with operator[] insert a null item for a
// caption the tree does not hold.
using TreeItems = std::map<std::string, HTREEITEM>;

// With null: empties `items` and records the whole tree; with an item:
// records it and, unless its caption is one of the unwalked ones, its subtree.
void collectTreeItems(MessageChannel& channel, HWND tree, HTREEITEM item, TreeItems& items);

// Clicks the caption's tree item until the client shows a new active page.
// Null when no new page came within the bound of clicks, or the client's
// thread stopped answering (the channel is then lost).
[[nodiscard]] HWND openFunction(const Client& client, HWND tree, TreeItems& items, const std::string& caption);

// The page whose list (or, on editions with nested dialogs, nested dialog)
// is visible and enabled now; null when there is none.
[[nodiscard]] HWND findActivePage(const Client& client);

}  // namespace zelvo
