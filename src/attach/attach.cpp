#include "attach/attach.h"

#include <optional>

#include "client/bounds.h"
#include "client/client_ui.h"
#include "client/editions.h"
#include "client/function_tree.h"
#include "client/main_frame.h"
#include "platform/fine_timer.h"
#include "platform/windows_ui.h"
#include "session/operation.h"
#include "session/session.h"
#include "zelvo_answers.h"

namespace zelvo {

namespace {

// The pages in the order they are opened.
constexpr Page openingOrder[] = {Page::Buy,          Page::Sell,        Page::MarginBuy,  Page::BuyToReturn,
                                 Page::ReturnInKind, Page::SellToRepay, Page::CancelPage, Page::Funds,
                                 Page::TodayOrders,  Page::TodayTrades, Page::MarginDebt, Page::ShortDebt,
                                 Page::Shareholders, Page::ShortSell,   Page::Shortable};

// What attach has learnt of the client before it opens the function tree.
struct AttachView {
    std::string title;
    std::string account;
    HWND tradeSwitch = nullptr;
};

bool fail(std::string& message, const std::string& reason)
{
    message = reason;
    return false;
}

// Clicks the trade switch until the tree shows. The switch's client area
// is read for each click, so a switch resized meanwhile is clicked where
// it shows the tree now.
bool treeVisibleAfterClicks(const Client& client, HWND tree, HWND tradeSwitch, const Edition& edition,
                            AccountKind kind)
{
    const FineTimer fineTimer;  // each pause 100 ms, not the next timer tick after it
    for (int attempt = 0; attempt < bounds::switchClickLimit && client.answering(); ++attempt) {
        if (IsWindowVisible(tree)) {
            return true;
        }
        RECT switchClient = {};
        GetClientRect(tradeSwitch, &switchClient);
        postClick(client.channel, tradeSwitch, treeSwitchPoint(edition, kind, switchClient, windowDpi(tradeSwitch)));
        Sleep(bounds::switchClickPauseMs);
    }
    return IsWindowVisible(tree) != FALSE;
}

// Finds the function tree for the edition and account and makes it visible,
// then fills the profile. Empty text on success, else the refusal.
std::string openFunctionTree(SessionState& s, const Client& client, const Edition& edition, const AttachView& view)
{
    const AccountKind kind = accountKind(edition, view.account);
    if (kind == AccountKind::Unknown) {
        return answers::unknownAccountKind;
    }
    const HWND tree = findDescendantById(view.tradeSwitch, functionTreeId(edition, kind));
    if (tree == nullptr) {
        return answers::noFunctionTree;
    }
    // A hidden main frame hides the tree too (an earlier attach hid it):
    // show it first, or the tree could never be seen visible.
    if (!IsWindowVisible(s.mainWindow)) {
        static_cast<void>(showWindow(client.channel, s.mainWindow, SW_SHOWNORMAL));
    }
    if (!treeVisibleAfterClicks(client, tree, view.tradeSwitch, edition, kind)) {
        return answers::treeNotShown;
    }
    s.functionTree = tree;
    s.profile = editionProfile(edition, kind);
    return {};
}

// Opens the page of every profile caption the tree holds, once (a caption in
// two slots is opened for the first). Gives the caption whose page did not
// come up, if any.
std::optional<std::string> openAllPages(SessionState& s, const Client& client)
{
    for (const Page page : openingOrder) {
        const std::string& caption = s.profile.caption(page);
        if (s.treeItems.find(caption) == s.treeItems.end() || s.pageWindows[caption] != nullptr) {
            continue;
        }
        const HWND window = openFunction(client, s.functionTree, s.treeItems, caption);
        if (window == nullptr) {
            return caption;
        }
        s.pageWindows[caption] = window;
    }
    return std::nullopt;
}

// Places and shows the client, learns the tree and opens every page, then
// hides the client again and marks the session attached.
bool finishAttach(SessionState& s, const Client& client, std::string password, const std::string& title,
                  std::string& message)
{
    MessageChannel& channel = client.channel;
    static_cast<void>(placeInsideDesktop(channel, s.mainWindow) && showWindow(channel, s.mainWindow, SW_SHOWNORMAL));
    const PopupsClosed popups = closePopups(client);
    if (popups != PopupsClosed::All) {
        return fail(message, popups == PopupsClosed::OneStaysOpen ? answers::popupsStayOpen : "");
    }
    collectTreeItems(channel, s.functionTree, nullptr, s.treeItems);
    POINT cursor = {};
    GetCursorPos(&cursor);
    const std::optional<std::string> missing = openAllPages(s, client);
    SetCursorPos(cursor.x, cursor.y);
    if (missing || channel.lost()) {
        // The client is left shown, so the person at it sees the page that did not open.
        return fail(message, answers::pageNotOpened + missing.value_or(std::string()));
    }
    if (!showWindow(channel, s.mainWindow, SW_HIDE)) {
        return false;
    }
    s.tradePassword = std::move(password);
    message = answers::welcome + title;
    s.attached = true;
    return true;
}

// Everything the attach does once it holds the lock; the channel tells
// whether the client stopped answering meanwhile.
bool attach(SessionState& s, MessageChannel& channel, std::string password, std::string& message)
{
    s.attached = false;
    s.pageWindows.clear();
    s.mainWindow = findMainFrame();
    if (s.mainWindow == nullptr) {
        return fail(message, answers::noMainFrame);
    }
    const Client client = s.client(channel);
    if (findDescendant(channel, s.mainWindow, client_ui::staticClass, client_ui::lockScreen) != nullptr) {
        return fail(message, answers::lockedRefusal);
    }
    s.accountBox = findDescendant(channel, s.mainWindow, client_ui::comboBoxClass, nullptr);
    AttachView view;
    view.title = windowText(channel, s.mainWindow);
    view.account = comboSelectionText(channel, s.accountBox);
    view.tradeSwitch = findDescendantById(s.mainWindow, client_ui::tradeSwitchId);
    const Edition* edition = channel.lost() ? nullptr : recognizeEdition(view.title);
    if (edition == nullptr) {
        return fail(message, answers::unsupportedRefusal);
    }
    if (view.tradeSwitch == nullptr) {
        return fail(message, answers::noFunctionTree);
    }
    const std::string refusal = openFunctionTree(s, client, *edition, view);
    if (!refusal.empty()) {
        return fail(message, refusal);
    }
    return finishAttach(s, client, std::move(password), view.title, message);
}

}  // namespace

bool attachClient(std::string password, std::string& message)
{
    SessionState& s = session();
    if (refuseNestedCall(s, message)) {
        return false;
    }
    LockGuard guard(s.lock);
    MessageChannel channel = s.channel();
    const bool attached = attach(s, channel, std::move(password), message);
    if (channel.lost()) {
        message = answers::clientNotAnswering;
        return false;
    }
    return attached;
}

}  // namespace zelvo
