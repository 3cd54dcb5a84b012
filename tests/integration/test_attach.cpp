// Attaching to the client: discovery, the lock check, the account box, the
// outcomes of Zelvo_Login and what each leaves in the session.
#include <gtest/gtest.h>

#include "editions.h"
#include "handles.h"
#include "zelvo_library.h"

using substitute::Broker;
using substitute::Client;
using substitute::ClientSetup;
using substitute::editionClient;

namespace {

const std::string lockText = "交易界面已锁定,请输入主帐号(即第一个登录的帐号)的交易密码解锁.";
const std::string lockedRefusal = "不能外挂于此证券账户，因为交易界面已锁定.";
const std::string unsupported = "不能外挂于此证券账户，因为暂时不支持此券商下单软件, 请关注以后升级是否支持此券商下单软件.";

ClientSetup huatai()
{
    return editionClient(Broker::Huatai, false);
}

}  // namespace

TEST(Attach, NoMainFrameInThisProcess)
{
    ZelvoLibrary zelvo;
    const LoginAnswer answer = zelvo.login();
    EXPECT_FALSE(answer.attached);
    EXPECT_EQ(answer.message, "未找到交易客户端主窗口");
    EXPECT_EQ(zelvo.query(3).message, "未登录");
}

TEST(Attach, SucceedsWithWelcomeAndHidesTheClient)
{
    Client client(huatai());
    ZelvoLibrary zelvo;
    const LoginAnswer answer = zelvo.login("pw");
    ASSERT_TRUE(answer.attached) << answer.message;
    EXPECT_EQ(answer.message, "欢迎使用" + huatai().title);
    EXPECT_FALSE(client.isVisible());
    EXPECT_EQ(zelvo.title(), huatai().title);
    EXPECT_EQ(zelvo.broker(), "华泰");
    EXPECT_EQ(zelvo.account(), "普通账号 12345678");
}

TEST(Attach, LockedScreenRefusesAtAnyDepthAndHidden)
{
    for (bool nested : {false, true}) {
        for (bool visible : {true, false}) {
            ClientSetup setup = huatai();
            setup.locked = true;
            setup.lockNested = nested;
            setup.lockVisible = visible;
            Client client(setup);
            ZelvoLibrary zelvo;
            const LoginAnswer answer = zelvo.login();
            EXPECT_FALSE(answer.attached);
            EXPECT_EQ(answer.message, lockedRefusal) << "nested " << nested << " visible " << visible;
            EXPECT_TRUE(client.log().switchClicks.empty()) << "nothing is touched after the refusal";
            EXPECT_EQ(zelvo.title(), setup.title) << "the main frame is recorded";
        }
    }
}

TEST(Attach, NearMissLockTextsDoNotRefuse)
{
    const std::string fullWidthComma = "交易界面已锁定，请输入主帐号(即第一个登录的帐号)的交易密码解锁.";
    const std::string noFullStop = lockText.substr(0, lockText.size() - 1);
    for (const std::string& text : {fullWidthComma, noFullStop}) {
        ClientSetup setup = huatai();
        setup.locked = true;
        setup.lockText = text;
        Client client(setup);
        ZelvoLibrary zelvo;
        EXPECT_TRUE(zelvo.login().attached);
    }
}

TEST(Attach, AccountBoxIsTheFirstComboInPreOrder)
{
    ClientSetup setup = huatai();
    setup.accountBoxNested = true;
    setup.accounts = {"普通账号 87654321", "信用账号 1"};
    Client client(setup);
    ZelvoLibrary zelvo;
    ASSERT_TRUE(zelvo.login().attached);
    EXPECT_EQ(zelvo.account(), "普通账号 87654321");
}

TEST(Attach, UnsupportedEditionIsRefusedAndKeepsTheEarlierProfile)
{
    ZelvoLibrary zelvo;
    {
        Client first(huatai());
        ASSERT_TRUE(zelvo.login().attached);
    }
    ClientSetup setup = huatai();
    setup.title = "某某证券网上交易系统";
    Client client(setup);
    const LoginAnswer answer = zelvo.login();
    EXPECT_FALSE(answer.attached);
    EXPECT_EQ(answer.message, unsupported);
    EXPECT_EQ(zelvo.broker(), "华泰") << "a refusal leaves the earlier profile";
    EXPECT_EQ(zelvo.title(), setup.title);
    EXPECT_EQ(zelvo.query(3).message, "未登录");
}

TEST(Attach, MissingTradeSwitchOrTree)
{
    ClientSetup noSwitch = huatai();
    noSwitch.tradeSwitch = false;
    ClientSetup wrongTree = huatai();
    wrongTree.treeId = 4242;
    for (const ClientSetup& setup : {noSwitch, wrongTree}) {
        Client client(setup);
        ZelvoLibrary zelvo;
        const LoginAnswer answer = zelvo.login();
        EXPECT_FALSE(answer.attached);
        EXPECT_EQ(answer.message, "未找到功能树");
    }
}

TEST(Attach, TreeThatNeverShowsEndsTheAttempt)
{
    ClientSetup setup = huatai();
    setup.switchHotSpot = {100, 100};  // a click at (10, 10) does nothing
    Client client(setup);
    ZelvoLibrary zelvo;
    const LoginAnswer answer = zelvo.login();
    EXPECT_FALSE(answer.attached);
    EXPECT_EQ(answer.message, "功能树无法显示");
    EXPECT_GE(client.log().switchClicks.size(), 40u);
    EXPECT_EQ(zelvo.query(0).message, "未登录");
}

TEST(Attach, ZhongxinAccountWithoutThirdWord)
{
    ClientSetup setup = editionClient(Broker::Zhongxin, false);
    setup.accounts = {"张三 8001234567"};
    Client client(setup);
    ZelvoLibrary zelvo;
    const LoginAnswer answer = zelvo.login();
    EXPECT_FALSE(answer.attached);
    EXPECT_EQ(answer.message, "无法识别账号类型");
}

TEST(Attach, MainFrameOfAnotherProcessIsNeverUsed)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    std::string command = "\"" + programFolder() + "zelvo-client.exe\" 60";
    ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started));
    const zelvo_common::ProcessHandles handles(started);
    HWND other = nullptr;
    for (int wait = 0; wait < 400 && other == nullptr; ++wait) {
        Sleep(50);
        other = FindWindowA("TdxW_MainFrame_Class", nullptr);
    }
    ZelvoLibrary zelvo;
    EXPECT_EQ(zelvo.login().message, "未找到交易客户端主窗口") << "the other process's frame was taken";
    {
        ClientSetup setup = huatai();
        setup.title = "华泰证券(通达信版) 本进程";
        Client client(setup);
        // Put the other process's frame first in the enumeration.
        SetWindowPos(other, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        const LoginAnswer answer = zelvo.login();
        EXPECT_TRUE(answer.attached);
        EXPECT_EQ(answer.message, "欢迎使用" + setup.title);
    }
    TerminateProcess(handles.process.get(), 0);
    WaitForSingleObject(handles.process.get(), 5000);
}

TEST(Attach, StrayPopupsAreClosedAndOneThatStaysEndsTheAttempt)
{
    Client client(huatai());
    HWND first = client.openPopup({});
    HWND second = client.openPopup({});
    ZelvoLibrary zelvo;
    ASSERT_TRUE(zelvo.login().attached);
    EXPECT_FALSE(IsWindow(first));
    EXPECT_FALSE(IsWindow(second));

    substitute::PopupSetup stubborn;
    stubborn.refusesToClose = true;
    HWND stays = client.openPopup(stubborn);
    const LoginAnswer answer = zelvo.login();
    EXPECT_FALSE(answer.attached);
    EXPECT_EQ(answer.message, "无法关闭客户端弹窗");
    EXPECT_TRUE(IsWindow(stays));
    EXPECT_EQ(zelvo.query(0).message, "未登录");
}
