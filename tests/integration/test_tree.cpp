// Learning the function tree and opening each page once: which items are
// clicked, where the cursor and the window end up.
#include <gtest/gtest.h>

#include <algorithm>

#include "editions.h"
#include "zelvo_library.h"

using substitute::Broker;
using substitute::Client;
using substitute::ClientSetup;
using substitute::editionClient;

namespace {

int clicksOn(const std::vector<std::string>& paths, const std::string& suffix)
{
    return static_cast<int>(std::count_if(paths.begin(), paths.end(), [&](const std::string& path) {
        return path.size() >= suffix.size() && path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0;
    }));
}

RECT rectOf(LONG left, LONG top, LONG width, LONG height)
{
    return RECT{left, top, left + width, top + height};
}

}  // namespace

TEST(Tree, ClicksSkipUnwalkedFoldersTakeTheLastDuplicateAndOpenSharedPagesOnce)
{
    ClientSetup setup = editionClient(Broker::Zhaoshang, false);
    // A second "撤单" later in pre-order: the last one is the one clicked.
    setup.tree.push_back(substitute::TreeNode{"其他", {substitute::TreeNode{"撤单", {}, substitute::PageKind::List, false}},
                                              substitute::PageKind::Nothing, false});
    Client client(setup);
    ZelvoLibrary zelvo;
    ASSERT_TRUE(zelvo.login().attached);
    const auto clicks = client.log().treeClicks;
    for (const std::string& path : clicks) {
        EXPECT_EQ(path.find("债券报价回购"), std::string::npos) << path;
        EXPECT_EQ(path.find("天天利财"), std::string::npos) << path;
        EXPECT_EQ(path.find("报价回购/"), std::string::npos) << path;
    }
    EXPECT_EQ(clicksOn(clicks, "其他/撤单"), 1);
    EXPECT_EQ(clicksOn(clicks, "股票交易/撤单"), 0);
    EXPECT_EQ(clicksOn(clicks, "融券卖出"), 1) << "short sell and shortable share one page";
    EXPECT_EQ(client.log().missedTreeClicks, 0) << "every click had the cursor on its item";
}

TEST(Tree, NoClickWhenTheSelectedItemsPageIsActive)
{
    ClientSetup setup = editionClient(Broker::Huatai, false);
    setup.openAtStart = "股票交易/买入";
    Client client(setup);
    ZelvoLibrary zelvo;
    ASSERT_TRUE(zelvo.login().attached);
    EXPECT_EQ(clicksOn(client.log().treeClicks, "/买入"), 0);
    EXPECT_EQ(clicksOn(client.log().treeClicks, "/卖出"), 1);
}

TEST(Tree, CursorIsPutBackAndTheWindowPlacedInsideTheDesktop)
{
    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);
    const LONG deskWidth = desktop.right - desktop.left;
    const LONG deskHeight = desktop.bottom - desktop.top;
    struct Case {
        RECT start;
        LONG left, top;
    } cases[] = {
        {rectOf(-100, -50, 600, 400), 0, 0},
        {rectOf(deskWidth - 500, deskHeight - 300, 600, 400), deskWidth - 600, deskHeight - 400},
        {rectOf(-20, 10, deskWidth + 8, 400), -8, 10},  // wider than the desktop: right edges meet
    };
    for (const Case& c : cases) {
        ClientSetup setup = editionClient(Broker::Huatai, false);
        setup.placement = c.start;
        Client client(setup);
        const RECT before = client.windowRect();
        SetCursorPos(123, 321);
        ZelvoLibrary zelvo;
        ASSERT_TRUE(zelvo.login().attached);
        POINT cursor;
        GetCursorPos(&cursor);
        EXPECT_EQ(cursor.x, 123);
        EXPECT_EQ(cursor.y, 321);
        const RECT after = client.windowRect();
        EXPECT_EQ(after.left, c.left);
        EXPECT_EQ(after.top, c.top);
        EXPECT_EQ(after.right - after.left, before.right - before.left) << "the size never changes";
        EXPECT_EQ(after.bottom - after.top, before.bottom - before.top);
    }
}

// A page that never becomes active (here a nested-dialog page on an edition
// that does not look for nested dialogs) ends the attach with its caption.
TEST(Tree, PageThatNeverOpensEndsTheAttach)
{
    ClientSetup setup = editionClient(Broker::Huatai, false);
    setup.tree[1].children.back().page = substitute::PageKind::NestedDialog;  // 股东列表
    Client client(setup);
    SetCursorPos(77, 88);
    ZelvoLibrary zelvo;
    const LoginAnswer answer = zelvo.login();
    EXPECT_FALSE(answer.attached);
    EXPECT_EQ(answer.message, "无法打开功能页面:股东列表");
    EXPECT_TRUE(client.isVisible()) << "left shown for the person at the client";
    POINT cursor;
    GetCursorPos(&cursor);
    EXPECT_EQ(cursor.x, 77);
    EXPECT_EQ(cursor.y, 88);
    EXPECT_EQ(zelvo.query(11).message, "未登录");
}
