// Logout and the getters around it, and attaching again.
#include <gtest/gtest.h>

#include "editions.h"
#include "zelvo_library.h"

using substitute::Broker;
using substitute::Client;
using substitute::ClientSetup;
using substitute::editionClient;

TEST(Status, LogoutShowsTheClientAndKeepsTheBroker)
{
    Client client(editionClient(Broker::Guoxin, false));
    ZelvoLibrary zelvo;
    ASSERT_TRUE(zelvo.login().attached);
    EXPECT_FALSE(client.isVisible());
    zelvo.logout();
    EXPECT_TRUE(client.isVisible());
    EXPECT_EQ(zelvo.title(), "");
    EXPECT_EQ(zelvo.broker(), "国信");
    EXPECT_EQ(zelvo.account(), "普通账号 12345678") << "the account box is still read";
    EXPECT_EQ(zelvo.query(3).message, "未登录");
    zelvo.logout();  // a second logout changes nothing
    EXPECT_TRUE(client.isVisible());
}

TEST(Status, AttachAgainWithAndWithoutLogout)
{
    Client client(editionClient(Broker::Zhongjin, false));
    ZelvoLibrary zelvo;
    ASSERT_TRUE(zelvo.login().attached);
    const LoginAnswer again = zelvo.login();
    EXPECT_TRUE(again.attached) << "the hidden client is shown for the tree: " << again.message;
    EXPECT_FALSE(client.isVisible());
    zelvo.logout();
    EXPECT_TRUE(zelvo.login().attached);
    EXPECT_EQ(zelvo.broker(), "中金");
}

TEST(Status, AccountBoxWithoutSelectionReadsEmpty)
{
    ClientSetup setup = editionClient(Broker::Huatai, false);
    setup.selectedAccount = -1;
    Client client(setup);
    ZelvoLibrary zelvo;
    ASSERT_TRUE(zelvo.login().attached);
    EXPECT_EQ(zelvo.account(), "");
}
