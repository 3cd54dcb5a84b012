// The prompt tracker and the dialog fill against pop-ups held open on the
// substitute client's UI thread, with short bounds: the cases the client's
// own order flow never produces (a recorded prompt still open, a dialog
// without one of its controls, a wait that runs out).
#include <gtest/gtest.h>

#include "client.h"
#include "dialogs.h"
#include "client/prompts.h"
#include "library_view.h"
#include "platform/windows_ui.h"

using substitute::Client;
using substitute::PopupSetup;
using zelvo::PromptTracker;

namespace {

constexpr DWORD shortWaitMs = 200;

// A wait that takes whatever prompt comes.
const zelvo::PromptScreen takeAny = [](const zelvo::Client&, PromptTracker&) { return zelvo::PromptVerdict::Take; };

PopupSetup prompt(const std::string& title, const std::string& message)
{
    PopupSetup popup;
    popup.title = title;
    popup.message = message;
    return popup;
}

// A dialog with the password dialog's three controls; counts the clicks of
// its button and keeps the edit's text at the click.
struct FillTarget {
    int clicks = 0;
    std::string textAtClick;
};

INT_PTR CALLBACK fillTargetProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        return TRUE;
    }
    auto* target = reinterpret_cast<FillTarget*>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (message == WM_COMMAND && LOWORD(wParam) == 7021 && target != nullptr) {
        char text[64] = {};
        GetDlgItemTextA(dialog, 7023, text, sizeof text);
        target->textAtClick = text;
        ++target->clicks;
        return TRUE;
    }
    return FALSE;
}

HWND makeFillTarget(Client& client, FillTarget& target, bool withCheck, bool checked)
{
    HWND dialog = nullptr;
    client.onUi([&] {
        dialog = substitute::createDialog(client.mainWindow(), WS_POPUP | WS_VISIBLE, fillTargetProc,
                                          reinterpret_cast<LPARAM>(&target));
        substitute::addControl(dialog, "Edit", "", WS_VISIBLE, 7023, 0, 0, 100, 20);
        if (withCheck) {
            HWND check = substitute::addControl(dialog, "Button", "", WS_VISIBLE | BS_AUTOCHECKBOX, 7024, 0, 30, 100, 20);
            SendMessageA(check, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
        }
        substitute::addControl(dialog, "Button", "", WS_VISIBLE, 7021, 0, 60, 100, 20);
    });
    return dialog;
}

bool isChecked(HWND dialog)
{
    return SendMessageA(GetDlgItem(dialog, 7024), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

}  // namespace

TEST(Prompts, TrackerTakesEachPromptOnceAndSkipsPopupsWithoutButton)
{
    Client client({});
    const HWND main = client.mainWindow();
    LibraryView library(main);
    const zelvo::Client& view = library.client;
    PromptTracker tracker;

    PopupSetup notice = prompt("进度", "请稍候");
    notice.withPromptButton = false;
    const HWND noButton = client.openPopup(notice);
    const ULONGLONG start = GetTickCount64();
    EXPECT_FALSE(zelvo::waitForPrompt(view, tracker, takeAny, shortWaitMs)) << "a pop-up without 7015 is no prompt";
    const ULONGLONG waited = GetTickCount64() - start;
    EXPECT_GE(waited, shortWaitMs);
    EXPECT_LT(waited, shortWaitMs + 1000) << "the bound is elapsed time";
    EXPECT_EQ(tracker.popup, nullptr);

    const HWND first = client.openPopup(prompt("交易确认 买入", "消息一"));
    ASSERT_TRUE(zelvo::waitForPrompt(view, tracker, takeAny, shortWaitMs));
    EXPECT_EQ(tracker.popup, first);
    EXPECT_EQ(zelvo::readCaption(view, tracker), "交易确认 买入");
    EXPECT_EQ(zelvo::readText(view, tracker), "消息一");
    EXPECT_FALSE(zelvo::waitForPrompt(view, tracker, takeAny, shortWaitMs)) << "the recorded prompt is still open";

    const HWND second = client.openPopup(prompt("提示", "消息二"));
    ASSERT_TRUE(zelvo::waitForPrompt(view, tracker, takeAny, shortWaitMs));
    EXPECT_EQ(tracker.popup, second);
    zelvo::clickButton(view, tracker);
    EXPECT_FALSE(IsWindow(second)) << "a sent click returns after the client handled it";
    EXPECT_FALSE(zelvo::waitForPrompt(view, tracker, takeAny, shortWaitMs))
        << "an earlier prompt in front again is not taken a second time";

    PromptTracker fresh;
    ASSERT_TRUE(zelvo::waitForPrompt(view, fresh, takeAny, shortWaitMs)) << "a new tracker takes a prompt already open";
    EXPECT_EQ(fresh.popup, first);

    PromptTracker any;
    zelvo::recordPopup(any, first);
    EXPECT_FALSE(zelvo::waitForAnyPopup(view, any, takeAny, shortWaitMs)) << "the plain wait skips recorded pop-ups too";
    zelvo::clickButton(view, fresh);
    ASSERT_TRUE(zelvo::waitForAnyPopup(view, any, takeAny, shortWaitMs)) << "the plain wait takes a pop-up without 7015";
    EXPECT_EQ(any.popup, noButton);
}

TEST(Prompts, WaitUntilClosedIsBounded)
{
    Client client({});
    LibraryView library(client.mainWindow());
    const zelvo::Client& view = library.client;
    const HWND popup = client.openPopup(prompt("提示", "消息"));
    const ULONGLONG start = GetTickCount64();
    EXPECT_FALSE(zelvo::waitUntilClosed(view, popup, shortWaitMs));
    EXPECT_GE(GetTickCount64() - start, shortWaitMs);
    PromptTracker tracker;
    zelvo::recordPopup(tracker, popup);
    zelvo::postClickButton(view, tracker);
    EXPECT_TRUE(zelvo::waitUntilClosed(view, popup, 5000)) << "the posted click closes it soon after";
}

TEST(Prompts, FillSetsTheCheckBoxAndRefusesIncompleteDialogs)
{
    Client client({});
    LibraryView library(client.mainWindow());
    const zelvo::Client& view = library.client;
    for (bool checkedBefore : {true, false}) {
        FillTarget target;
        const HWND dialog = makeFillTarget(client, target, true, checkedBefore);
        ASSERT_TRUE(zelvo::fillCheckAndConfirm(view, {7023, 7024, 7021, dialog}, "密码123"));
        EXPECT_EQ(target.clicks, 1);
        EXPECT_EQ(target.textAtClick, "密码123") << "the text is in place before the click";
        EXPECT_TRUE(isChecked(dialog)) << "checked before: " << checkedBefore;
        client.onUi([&] { DestroyWindow(dialog); });
    }
    FillTarget target;
    const HWND noCheck = makeFillTarget(client, target, false, false);
    EXPECT_FALSE(zelvo::fillCheckAndConfirm(view, {7023, 7024, 7021, noCheck}, "密码"));
    EXPECT_EQ(target.clicks, 0);
    char text[16] = {};
    GetDlgItemTextA(noCheck, 7023, text, sizeof text);
    EXPECT_STREQ(text, "") << "nothing is written into a dialog that lacks a control";
    client.onUi([&] { DestroyWindow(noCheck); });
}

// The enabled pop-up: the frontmost visible, enabled window of the client's
// process owned by the main window, directly or through its owners, made by
// whichever of the client's threads.
TEST(Prompts, EnabledPopupIsTheFrontmostOwnedWindowOfTheClientsProcess)
{
    Client client({});
    const HWND main = client.mainWindow();
    EXPECT_EQ(zelvo::enabledPopup(main), nullptr);

    HWND unowned = nullptr;
    client.onUi([&] { unowned = substitute::createDialog(nullptr, WS_POPUP | WS_VISIBLE, nullptr, 0); });
    EXPECT_EQ(zelvo::enabledPopup(main), nullptr) << "a window owned by nobody";

    const HWND first = client.openPopup(prompt("提示", "一"));
    EXPECT_EQ(zelvo::enabledPopup(main), first);
    EnableWindow(first, FALSE);
    EXPECT_EQ(zelvo::enabledPopup(main), nullptr) << "a disabled pop-up";
    EnableWindow(first, TRUE);
    ShowWindow(first, SW_HIDE);
    EXPECT_EQ(zelvo::enabledPopup(main), nullptr) << "a hidden pop-up";
    ShowWindow(first, SW_SHOWNA);

    HWND second = nullptr;
    client.onUi([&] { second = substitute::createDialog(first, WS_POPUP | WS_VISIBLE, nullptr, 0); });
    EXPECT_EQ(zelvo::enabledPopup(main), second) << "owned through the first, and in front of it";

    // A pop-up another thread of the client shows (a network thread's
    // notice), owned by the main window and in front of everything, is
    // the client's pop-up too.
    const HWND otherThread = CreateWindowExA(0, "Static", "", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, main, nullptr,
                                             nullptr, nullptr);
    ASSERT_NE(otherThread, nullptr);
    EXPECT_EQ(zelvo::enabledPopup(main), otherThread);
    DestroyWindow(otherThread);
    EXPECT_EQ(zelvo::enabledPopup(main), second);
    client.onUi([&] {
        DestroyWindow(second);
        DestroyWindow(unowned);
    });
    EXPECT_EQ(zelvo::enabledPopup(main), first);
}

// A wait declines what its screen refuses, does not meet it again while it
// closes, and takes the next prompt; the texts read to judge a prompt are
// the ones its caller gets.
TEST(Prompts, WaitDeclinesWhatItsScreenRefusesAndTakesTheNext)
{
    Client client({});
    LibraryView library(client.mainWindow());
    const zelvo::Client& view = library.client;

    const HWND stale = client.openPopup(prompt("交易确认", "操作类别: 买入\n证券代码: 600000"));
    PromptTracker tracker;
    EXPECT_FALSE(zelvo::waitForPrompt(view, tracker, zelvo::declineConfirmations, shortWaitMs));
    EXPECT_FALSE(IsWindow(stale)) << "declined: asked to close";

    const HWND cancel = client.openPopup(prompt("提示", "操作类别: 撤单 委托编号: 12"));
    EXPECT_FALSE(zelvo::waitForAnyPopup(view, tracker, zelvo::declineConfirmations, shortWaitMs));
    EXPECT_FALSE(IsWindow(cancel));

    const HWND answer = client.openPopup(prompt("提示", "委托已成功提交"));
    ASSERT_TRUE(zelvo::waitForPrompt(view, tracker, zelvo::declineConfirmations, shortWaitMs));
    EXPECT_EQ(tracker.popup, answer);
    EXPECT_EQ(zelvo::readText(view, tracker), "委托已成功提交");
    EXPECT_TRUE(IsWindow(answer)) << "taken, not closed: the caller clicks it";
}

TEST(Prompts, ConfirmationsAreToldApartAndMatchedToTheirOrder)
{
    using zelvo::Confirmation;
    EXPECT_EQ(zelvo::confirmationOf("交易确认", "您确定要提交这笔委托吗?"), Confirmation::Trade);
    EXPECT_EQ(zelvo::confirmationOf("提示", "操作类别: 买入"), Confirmation::Trade);
    EXPECT_EQ(zelvo::confirmationOf("交易确认", "操作类别: 撤单"), Confirmation::Cancel);
    EXPECT_EQ(zelvo::confirmationOf("提示", "委托已成功提交，合同号是1001。"), Confirmation::None);
    EXPECT_EQ(zelvo::confirmationOf("密码确认", ""), Confirmation::None);

    EXPECT_FALSE(zelvo::namesOtherSecurity("证券代码: 600000", "600000"));
    EXPECT_TRUE(zelvo::namesOtherSecurity("证券代码: 600001", "600000"));
    EXPECT_TRUE(zelvo::namesOtherSecurity("股票代码：000001", "600000"));
    EXPECT_FALSE(zelvo::namesOtherSecurity("您确定要提交这笔委托吗?", "600000")) << "names none";
    EXPECT_FALSE(zelvo::namesOtherSecurity("股东代码: A123456789 证券代码: 600000", "600000"))
        << "a shareholder code is no security code";
    EXPECT_FALSE(zelvo::namesOtherSecurity("证券代码: 6000?", "6000\xD6")) << "read the way the client shows it";

    EXPECT_FALSE(zelvo::namesOtherOrder("操作类别: 撤单 委托编号: 1001", 1001));
    EXPECT_FALSE(zelvo::namesOtherOrder("操作类别: 撤单 合同编号: 0001001", 1001)) << "leading zeros aside";
    EXPECT_TRUE(zelvo::namesOtherOrder("操作类别: 撤单 合同号: 1002", 1001));
    EXPECT_FALSE(zelvo::namesOtherOrder("操作类别: 撤单", 1001)) << "names none";
}
