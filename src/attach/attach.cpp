#include "attach/attach.h"

#include <array>
#include <optional>

#include "attach/attach_texts.h"
#include "attach/broker_profiles.h"
#include "attach/client_windows.h"
#include "attach/function_tree.h"
#include "platform/windows_ui.h"
#include "session/operation.h"
#include "session/session.h"
#include "session/status.h"

namespace zelvo {

namespace {

constexpr DWORD switchClickPauseMs = 100;
// 50 clicks of 100 ms: about five seconds for the tree to come up.
constexpr int switchClickLimit = 50;

// What attach has learnt of the client before it opens the function tree.
struct ClientView {
    std::string title;
    std::string account;
    HWND tradeSwitch = nullptr;
};

bool fail(std::string& message, const std::string& reason)
{
    message = reason;
    return false;
}

bool treeVisibleAfterClicks(HWND tree, HWND tradeSwitch, POINT point)
{
    for (int attempt = 0; attempt < switchClickLimit; ++attempt) {
        if (IsWindowVisible(tree)) {
            return true;
        }
        postClick(tradeSwitch, point);
        Sleep(switchClickPauseMs);
    }
    return IsWindowVisible(tree) != FALSE;
}

// Finds the function tree for the edition and account and makes it visible,
// then fills the profile. Empty text on success, else the refusal.
std::string openFunctionTree(SessionState& s, const Edition& edition, const ClientView& view)
{
    const AccountKind kind = accountKind(edition, view.account);
    if (kind == AccountKind::Unknown) {
        return attach_texts::unknownAccountKind;
    }
    const HWND tree = findDescendantById(view.tradeSwitch, functionTreeId(edition, kind));
    if (tree == nullptr) {
        return attach_texts::noFunctionTree;
    }
    // A hidden main frame hides the tree too (an earlier attach hid it):
    // show it first, or the tree could never be seen visible.
    if (!IsWindowVisible(s.mainWindow)) {
        ShowWindow(s.mainWindow, SW_SHOWNORMAL);
    }
    RECT switchClient = {};
    GetClientRect(view.tradeSwitch, &switchClient);
    if (!treeVisibleAfterClicks(tree, view.tradeSwitch, treeSwitchPoint(edition, kind, switchClient))) {
        return attach_texts::treeNotShown;
    }
    s.functionTree = tree;
    s.profile = editionProfile(edition, kind);
    return {};
}

// The profile's captions in the order their pages are opened.
std::array<const std::string*, 15> captionsInOpeningOrder(const BrokerProfile& p)
{
    return {&p.buyCaption,         &p.sellCaption,        &p.marginBuyCaption,   &p.buyToReturnCaption,
            &p.returnInKindCaption, &p.sellToRepayCaption, &p.cancelPageCaption, &p.fundsCaption,
            &p.todayOrdersCaption, &p.todayTradesCaption, &p.marginDebtCaption,  &p.shortDebtCaption,
            &p.shareholdersCaption, &p.shortSellCaption,  &p.shortableCaption};
}

// Opens the page of every profile caption the tree holds, once (a caption in
// two slots is opened for the first). Gives the caption whose page did not
// come up, if any.
std::optional<std::string> openAllPages(SessionState& s)
{
    for (const std::string* caption : captionsInOpeningOrder(s.profile)) {
        if (s.treeItems.find(*caption) == s.treeItems.end() || s.pageWindows[*caption] != nullptr) {
            continue;
        }
        const HWND page = openFunction(s, *caption);
        if (page == nullptr) {
            return *caption;
        }
        s.pageWindows[*caption] = page;
    }
    return std::nullopt;
}

// Places and shows the client, learns the tree and opens every page, then
// hides the client again and marks the session attached.
bool finishAttach(SessionState& s, std::string password, const std::string& title, std::string& message)
{
    placeInsideDesktop(s.mainWindow);
    ShowWindow(s.mainWindow, SW_SHOWNORMAL);
    if (!closePopups()) {
        return fail(message, operation_texts::popupsStayOpen);
    }
    collectTreeItems(s, nullptr);
    POINT cursor = {};
    GetCursorPos(&cursor);
    const std::optional<std::string> missing = openAllPages(s);
    SetCursorPos(cursor.x, cursor.y);
    if (missing) {
        // The client is left shown, so the person at it sees the page that did not open.
        return fail(message, attach_texts::pageNotOpened + *missing);
    }
    ShowWindow(s.mainWindow, SW_HIDE);
    s.tradePassword = std::move(password);
    message = attach_texts::welcome + title;
    s.attached = true;
    return true;
}

}  // namespace

bool attachClient(std::string password, std::string& message)
{
    SessionState& s = session();
    LockGuard guard(s.lock);
    s.attached = false;
    s.pageWindows.clear();
    s.mainWindow = findMainFrame();
    if (s.mainWindow == nullptr) {
        return fail(message, attach_texts::noMainFrame);
    }
    if (findDescendant(s.mainWindow, attach_texts::staticClass, attach_texts::lockScreen) != nullptr) {
        return fail(message, attach_texts::lockedRefusal);
    }
    s.accountBox = findDescendant(s.mainWindow, attach_texts::comboBoxClass, nullptr);
    ClientView view;
    view.title = mainWindowTitle();
    view.account = selectedAccount();
    view.tradeSwitch = findDescendantById(s.mainWindow, attach_texts::tradeSwitchId);
    const Edition* edition = recognizeEdition(view.title);
    if (edition == nullptr) {
        return fail(message, attach_texts::unsupportedRefusal);
    }
    if (view.tradeSwitch == nullptr) {
        return fail(message, attach_texts::noFunctionTree);
    }
    const std::string refusal = openFunctionTree(s, *edition, view);
    if (!refusal.empty()) {
        return fail(message, refusal);
    }
    return finishAttach(s, std::move(password), view.title, message);
}

}  // namespace zelvo
