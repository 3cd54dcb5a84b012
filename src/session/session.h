// The one process-wide session: whether the library is attached to the
// trading client, which windows it found there, the broker profile of the
// recognised edition, the page caches and the lock that serialises every
// exported call.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <map>
#include <string>

#include "platform/lock.h"

namespace zelvo {

// Control IDs and function-tree captions of one broker edition. The IDs are
// 0 and the texts empty until the first recognised attach.
struct BrokerProfile {
    int pageHostId = 0;
    int statusTextId = 0;
    int creditStatusTextId = 0;
    int queryButtonId = 0;
    int creditQueryButtonId = 0;
    int rmbFundsTextId = 0;
    int usdFundsTextId = 0;
    int hkdFundsTextId = 0;
    int codeEditId = 0;
    int priceEditId = 0;
    int quantityEditId = 0;
    int orderButtonId = 0;
    int creditCodeEditId = 0;
    int creditPriceEditId = 0;
    int creditQuantityEditId = 0;
    int creditOrderButtonId = 0;

    std::string buyCaption;
    std::string sellCaption;
    std::string marginBuyCaption;
    std::string shortSellCaption;
    std::string buyToReturnCaption;
    std::string returnInKindCaption;
    std::string sellToRepayCaption;
    std::string fundsCaption;
    std::string todayOrdersCaption;
    std::string todayTradesCaption;
    std::string marginDebtCaption;
    std::string shortDebtCaption;
    std::string cancelPageCaption;
    std::string shortableCaption;
    std::string shareholdersCaption;
    std::string brokerName;
};

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
    std::map<std::string, HTREEITEM> treeItems;
    // The double-click record a cancel posts to the client. It lives here, not
    // on the caller's stack, because the client may read it after the cancel
    // call has returned (a bounded wait can end before the client answers).
    NMITEMACTIVATE cancelActivation = {};
};

// The session object, constructed at library load, destroyed at unload.
SessionState& session();

}  // namespace zelvo
