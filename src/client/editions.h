// The broker editions the library knows: how each is recognised from the
// main window title, how it tells credit accounts, and the profile of
// control IDs, page captions and behaviours an attach fills from it.
#pragma once
#include <windows.h>

#include <array>
#include <cstddef>
#include <string>

namespace zelvo {

// The function pages an attach opens, in profile order.
enum class Page : int {
    Buy,
    Sell,
    MarginBuy,
    ShortSell,
    BuyToReturn,
    ReturnInKind,
    SellToRepay,
    Funds,
    TodayOrders,
    TodayTrades,
    MarginDebt,
    ShortDebt,
    CancelPage,
    Shortable,
    Shareholders,
};
constexpr std::size_t pageCount = 15;

// How an edition refreshes its shortable-securities list.
enum class ShortableRefresh {
    CreditQueryButton,  // the page's credit query button, as the other credit pages
    OwnQueryButton,     // a query button of the page's own
    ToolbarShortSell,   // the toolbar button named like the short-sell page
    ToolbarRefresh,     // the toolbar's Refresh button
};

// Control IDs, page captions and behaviours of one edition. The IDs are 0
// and the texts empty until the first recognised attach.
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

    // The function-tree caption of each page.
    std::array<std::string, pageCount> captions;
    // The broker's short name, as Zelvo_GetBroker answers it.
    std::string brokerName;

    ShortableRefresh shortableRefresh = ShortableRefresh::CreditQueryButton;
    // A page may show a nested dialog instead of a list.
    bool nestedDialogPages = false;

    [[nodiscard]] const std::string& caption(Page page) const noexcept
    {
        return captions[static_cast<std::size_t>(page)];
    }
};

struct Edition;

// The first edition whose title occurs in `title`, in the fixed test order;
// null when none does.
[[nodiscard]] const Edition* recognizeEdition(const std::string& title);

enum class AccountKind { Ordinary, Credit, Unknown };

// Ordinary or credit by the edition's rule; Unknown when the account text
// lacks what the rule needs.
[[nodiscard]] AccountKind accountKind(const Edition& edition, const std::string& accountText);

// The control ID of the edition's function tree for this kind of account.
[[nodiscard]] int functionTreeId(const Edition& edition, AccountKind kind);

// The full profile of the edition for this kind of account.
[[nodiscard]] BrokerProfile editionProfile(const Edition& edition, AccountKind kind);

// The point in the trade switch's client area that shows the function tree,
// for a switch shown at `dpi` (96 at 100%): a client laid out for its
// screen's DPI puts the point further in by as much.
[[nodiscard]] POINT treeSwitchPoint(const Edition& edition, AccountKind kind, const RECT& switchClient, int dpi);

}  // namespace zelvo
