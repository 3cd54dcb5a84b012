// Recognising the broker edition, telling credit accounts, and the profile
// and function tree each edition leads to.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "editions.h"
#include "zelvo_library.h"

using substitute::Broker;
using substitute::Client;
using substitute::ClientSetup;
using substitute::editionClient;

namespace {

std::set<std::string> opened(const Client& client)
{
    const auto pages = client.log().pagesOpened;
    return {pages.begin(), pages.end()};
}

std::set<std::string> expectedPages(Broker broker, bool credit)
{
    const auto captions = substitute::editionCaptions(broker, credit);
    return {captions.begin(), captions.end()};
}

}  // namespace

// Each edition only shows its tree under the tree ID of its account kind, and
// only holds the captions of that kind, so a wrong ID, credit rule or caption
// table fails the attach or leaves a page unopened.
TEST(Profiles, EveryEditionAndAccountKind)
{
    for (Broker broker : substitute::allBrokers) {
        for (bool credit : {false, true}) {
            const auto facts = substitute::editionFacts(broker);
            Client client(editionClient(broker, credit));
            ZelvoLibrary zelvo;
            const LoginAnswer answer = zelvo.login();
            ASSERT_TRUE(answer.attached) << facts.brokerName << " credit " << credit << ": " << answer.message;
            EXPECT_EQ(zelvo.broker(), facts.brokerName);
            EXPECT_EQ(opened(client), expectedPages(broker, credit)) << facts.brokerName << " credit " << credit;
            const auto clicks = client.log().switchClicks;
            ASSERT_EQ(clicks.size(), 1u);
            const bool fiveEighths = broker == Broker::Zhongxin && credit;
            EXPECT_EQ(clicks[0].x, fiveEighths ? 150 : 10) << "the switch is 240 wide";
            EXPECT_EQ(clicks[0].y, 10);
        }
    }
}

TEST(Profiles, TitlesAreFoundAnywhereAndTheFirstEditionWins)
{
    ClientSetup both = editionClient(Broker::Huatai, false);
    both.title = "中信证券至信全能版 / 华泰证券(通达信版) 2026-12-08";
    ClientSetup secondTitle = editionClient(Broker::Zhongxin, false, 1);
    ClientSetup qiluSecond = editionClient(Broker::Qilu, false, 1);
    const std::pair<ClientSetup, std::string> cases[] = {{both, "华泰"}, {secondTitle, "中信"}, {qiluSecond, "齐鲁"}};
    for (const auto& [setup, name] : cases) {
        Client client(setup);
        ZelvoLibrary zelvo;
        ASSERT_TRUE(zelvo.login().attached) << setup.title;
        EXPECT_EQ(zelvo.broker(), name);
    }
}

// The one edition that tells credit accounts by the third word of the
// account text: near misses are ordinary accounts even with "信用" in them.
TEST(Profiles, ZhongxinCreditRuleNearMisses)
{
    for (const char* account : {"信用 上海A股 800123456", "信用 上海A股 80012345678", "信用 上海A股 9001234567"}) {
        ClientSetup setup = editionClient(Broker::Zhongxin, false);  // only the ordinary tree exists
        setup.accounts = {account};
        Client client(setup);
        ZelvoLibrary zelvo;
        EXPECT_TRUE(zelvo.login().attached) << account;
        EXPECT_EQ(opened(client), expectedPages(Broker::Zhongxin, false)) << account;
    }
}

TEST(Profiles, VisibleTreeNeedsNoClick)
{
    ClientSetup setup = editionClient(Broker::Zhaoshang, false);
    setup.treeVisible = true;
    Client client(setup);
    ZelvoLibrary zelvo;
    ASSERT_TRUE(zelvo.login().attached);
    EXPECT_TRUE(client.log().switchClicks.empty());
}

// The credit edition that is clicked five eighths across its switch: a
// switch laid out anew between two clicks is clicked where it shows the
// tree now.
TEST(Profiles, ZhongxinCreditClickFollowsAResizedSwitch)
{
    ClientSetup setup = editionClient(Broker::Zhongxin, true);
    setup.switchHotSpot = {-100, -100};  // the first click misses
    setup.switchWidthAfterFirstClick = 400;
    setup.switchHotSpotAfterResize = {250, 10};
    Client client(setup);
    ZelvoLibrary zelvo;
    const LoginAnswer answer = zelvo.login();
    ASSERT_TRUE(answer.attached) << answer.message;
    const auto clicks = client.log().switchClicks;
    ASSERT_EQ(clicks.size(), 2u);
    EXPECT_EQ(clicks[0].x, 150);
    EXPECT_EQ(clicks[1].x, 250);
}
