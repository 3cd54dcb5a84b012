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
    EXPECT_FALSE(zelvo::waitForPrompt(view, tracker, shortWaitMs)) << "a pop-up without 7015 is no prompt";
    const ULONGLONG waited = GetTickCount64() - start;
    EXPECT_GE(waited, shortWaitMs);
    EXPECT_LT(waited, shortWaitMs + 1000) << "the bound is elapsed time";
    EXPECT_EQ(tracker.popup, nullptr);

    const HWND first = client.openPopup(prompt("交易确认 买入", "消息一"));
    ASSERT_TRUE(zelvo::waitForPrompt(view, tracker, shortWaitMs));
    EXPECT_EQ(tracker.popup, first);
    EXPECT_EQ(zelvo::readCaption(view, tracker), "交易确认 买入");
    EXPECT_EQ(zelvo::readText(view, tracker), "消息一");
    EXPECT_FALSE(zelvo::waitForPrompt(view, tracker, shortWaitMs)) << "the recorded prompt is still open";

    const HWND second = client.openPopup(prompt("提示", "消息二"));
    ASSERT_TRUE(zelvo::waitForPrompt(view, tracker, shortWaitMs));
    EXPECT_EQ(tracker.popup, second);
    zelvo::clickButton(view, tracker);
    EXPECT_FALSE(IsWindow(second)) << "a sent click returns after the client handled it";
    EXPECT_FALSE(zelvo::waitForPrompt(view, tracker, shortWaitMs))
        << "an earlier prompt in front again is not taken a second time";

    PromptTracker fresh;
    ASSERT_TRUE(zelvo::waitForPrompt(view, fresh, shortWaitMs)) << "a new tracker takes a prompt already open";
    EXPECT_EQ(fresh.popup, first);

    PromptTracker any;
    zelvo::recordPopup(any, first);
    EXPECT_FALSE(zelvo::waitForAnyPopup(view, any, shortWaitMs)) << "the plain wait skips recorded pop-ups too";
    zelvo::clickButton(view, fresh);
    ASSERT_TRUE(zelvo::waitForAnyPopup(view, any, shortWaitMs)) << "the plain wait takes a pop-up without 7015";
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
// thread owned by the main window, directly or through its owners.
TEST(Prompts, EnabledPopupIsTheFrontmostOwnedWindowOfTheClientThread)
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

    // A window of another thread, owned by the main window and in front of
    // everything, is not the client's pop-up.
    const HWND foreign = CreateWindowExA(0, "Static", "", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, main, nullptr,
                                         nullptr, nullptr);
    ASSERT_NE(foreign, nullptr);
    EXPECT_EQ(zelvo::enabledPopup(main), second);
    DestroyWindow(foreign);
    client.onUi([&] {
        DestroyWindow(second);
        DestroyWindow(unowned);
    });
    EXPECT_EQ(zelvo::enabledPopup(main), first);
}
