// A client whose UI thread stops answering in the middle of an operation:
// the export ends within its bound with the answer for how far it got,
// sends the client nothing after the message that went unanswered, and the
// next call works once the client answers again. Each case stops the
// client's thread for longer than the library's 5 s bound.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "editions.h"
#include "zelvo_library.h"

using substitute::Backlog;
using substitute::Broker;
using substitute::Client;
using substitute::editionClient;
using substitute::Incident;
using substitute::Moment;

namespace {

const std::string notAnswering = "交易客户端无响应";
constexpr DWORD stallMs = 6500;
// The promise to the caller: out within 10 s of the client stopping.
constexpr ULONGLONG exportBoundMs = 10000;

// Runs `call` and gives how long it took.
ULONGLONG timed(const std::function<void()>& call)
{
    const ULONGLONG start = GetTickCount64();
    call();
    return GetTickCount64() - start;
}

void attach(ZelvoLibrary& zelvo)
{
    const LoginAnswer answer = zelvo.login();
    ASSERT_TRUE(answer.attached) << answer.message;
}

// A message whose sender gave up before the client's thread took it is
// dropped by Wine and delivered late by Windows: the backlog holds at most
// that one message, and nothing sent after it.
void expectAtMostTheUnanswered(const std::vector<UINT>& sent, UINT unanswered)
{
    EXPECT_LE(sent.size(), 1u) << "nothing was sent after the unanswered message";
    if (!sent.empty()) {
        EXPECT_EQ(sent[0], unanswered);
    }
}

// What reached the client after it answered again.
Backlog backlogOf(Client& client)
{
    const std::optional<Backlog> backlog = client.incidents().waitForBacklog(2 * stallMs + 10000);
    EXPECT_TRUE(backlog.has_value()) << "the client answered again";
    return backlog.value_or(Backlog{});
}

Incident stallAt(Moment moment, const std::string& match = {}, int row = -1)
{
    return Incident{moment, match, row, stallMs};
}

// An attached session on a client that will stall at `incident`, and an
// order placed on it, which must come back within the bound.
OrderAnswer orderStalledAt(Client& client, ZelvoLibrary& zelvo, const Incident& incident)
{
    attach(zelvo);
    client.incidents().plan(incident);
    OrderAnswer answer{};
    EXPECT_LT(timed([&] { answer = zelvo.order(0, "600000", 10.5, 100); }), exportBoundMs);
    EXPECT_EQ(answer.contract, -1);
    return answer;
}

}  // namespace

TEST(Unanswered, QueryAfterItsClickAndTheNextQuery)
{
    Client client(editionClient(Broker::Huatai, false));
    ZelvoLibrary zelvo;
    attach(zelvo);
    client.incidents().plan(stallAt(Moment::QueryClicked));

    QueryAnswer answer;
    const ULONGLONG took = timed([&] { answer = zelvo.query(3); });

    EXPECT_EQ(answer.text, "");
    EXPECT_EQ(answer.message, notAnswering);
    EXPECT_LT(took, exportBoundMs);
    const Backlog backlog = backlogOf(client);
    expectAtMostTheUnanswered(backlog.sent, WM_GETTEXT);
    EXPECT_TRUE(backlog.posted.empty());

    const QueryAnswer next = zelvo.query(3);
    EXPECT_EQ(next.message, "查询完毕");
    EXPECT_EQ(next.text.substr(0, 8), "证券代码");
}

TEST(Unanswered, ListReadStopsAtTheUnansweredCell)
{
    Client client(editionClient(Broker::Huatai, false));
    std::vector<substitute::Row> rows;
    for (int row = 0; row < 300; ++row) {
        rows.push_back({std::to_string(600000 + row), "浦发银行", "100"});
    }
    client.queries().setColumns("资金股份", {"证券代码", "证券名称", "股票余额"});
    client.queries().setRows("资金股份", rows);
    ZelvoLibrary zelvo;
    attach(zelvo);
    client.incidents().plan(stallAt(Moment::CellRead, {}, 150));

    QueryAnswer answer;
    const ULONGLONG took = timed([&] { answer = zelvo.query(3); });

    EXPECT_EQ(answer.text, "") << "half a list is no answer";
    EXPECT_EQ(answer.message, notAnswering);
    EXPECT_LT(took, exportBoundMs);
    const Backlog backlog = backlogOf(client);
    EXPECT_TRUE(backlog.sent.empty()) << "no cell after the unanswered one was asked for";

    const QueryAnswer next = zelvo.query(3);
    EXPECT_EQ(std::count(next.text.begin(), next.text.end(), '\n'), 300);
}

// The client stops as the library reads its trade confirmation: nothing was
// accepted, yet the answer says the outcome is unknown, since the order
// click had been posted (a client without a confirmation step sends the
// order on it). The next order closes the stale confirmation (dismissed,
// no order) and goes through.
TEST(Unanswered, OrderBeforeTheConfirmationIsAccepted)
{
    Client client(editionClient(Broker::Huatai, false));
    ZelvoLibrary zelvo;

    const OrderAnswer answer = orderStalledAt(client, zelvo, stallAt(Moment::PromptRead, "您确定要提交这笔委托吗"));

    EXPECT_EQ(answer.message, notAnswering + ",委托结果未知");
    const Backlog backlog = backlogOf(client);
    EXPECT_TRUE(backlog.sent.empty());
    EXPECT_TRUE(backlog.posted.empty()) << "the confirmation was not accepted";

    const OrderAnswer next = zelvo.order(0, "600000", 10.5, 100);
    const auto tickets = client.orders().tickets();
    ASSERT_EQ(tickets.size(), 2u);
    EXPECT_EQ(tickets[0].contract, -1) << "the first order never went out";
    EXPECT_EQ(tickets[0].steps, (std::vector<std::string>{"click 2010", "open 交易确认", "close 交易确认"}));
    EXPECT_EQ(next.contract, tickets[1].contract);
}

TEST(Unanswered, OrderAfterTheConfirmationIsUnknown)
{
    Client client(editionClient(Broker::Huatai, false));
    ZelvoLibrary zelvo;

    const OrderAnswer answer = orderStalledAt(client, zelvo, stallAt(Moment::PromptRead, "合同号是"));

    EXPECT_EQ(answer.message, "交易客户端无响应,委托结果未知");
    EXPECT_TRUE(backlogOf(client).sent.empty());
    EXPECT_GT(client.orders().tickets().at(0).contract, 0) << "the order did go out";
    EXPECT_EQ(zelvo.query(4).message, "查询完毕") << "the next call clears the final prompt and works";
}

TEST(Unanswered, CancelAfterTheConfirmationIsAcceptedButUnknown)
{
    Client client(editionClient(Broker::Huatai, false));
    ZelvoLibrary zelvo;
    attach(zelvo);
    client.incidents().plan(stallAt(Moment::PromptRead, "撤单请求已提交"));

    CancelAnswer answer{};
    const ULONGLONG took = timed([&] { answer = zelvo.cancel(901); });

    EXPECT_TRUE(answer.accepted);
    EXPECT_EQ(answer.message, "交易客户端无响应,撤单结果未知");
    EXPECT_LT(took, exportBoundMs);
    EXPECT_TRUE(backlogOf(client).sent.empty());
    EXPECT_EQ(zelvo.cancel(902).accepted, true) << "the next cancel works";
}

TEST(Unanswered, LoginAtATreeClickAndTheNextLogin)
{
    Client client(editionClient(Broker::Huatai, false));
    ZelvoLibrary zelvo;
    client.incidents().plan(stallAt(Moment::TreeClicked));

    LoginAnswer answer{};
    const ULONGLONG took = timed([&] { answer = zelvo.login(); });

    EXPECT_FALSE(answer.attached);
    EXPECT_EQ(answer.message, notAnswering);
    EXPECT_LT(took, exportBoundMs);
    const Backlog backlog = backlogOf(client);
    EXPECT_TRUE(backlog.sent.empty());
    EXPECT_TRUE(backlog.posted.empty());
    EXPECT_EQ(zelvo.query(3).message, "未登录");

    attach(zelvo);
}

// One stall long enough for both getters to give up.
TEST(Unanswered, GettersAnswerEmptyText)
{
    Client client(editionClient(Broker::Huatai, false));
    ZelvoLibrary zelvo;
    attach(zelvo);
    client.stall(2 * stallMs);

    std::string account = "?";
    std::string title = "?";
    const ULONGLONG accountTook = timed([&] { account = zelvo.account(); });
    const ULONGLONG titleTook = timed([&] { title = zelvo.title(); });

    EXPECT_EQ(account, "");
    EXPECT_EQ(title, "");
    EXPECT_LT(accountTook, 6000u);
    EXPECT_LT(titleTook, 6000u);
    EXPECT_EQ(zelvo.broker(), "华泰") << "the broker's name asks nothing of the client";
    const Backlog backlog = backlogOf(client);
    EXPECT_LE(backlog.sent.size(), 2u);
    EXPECT_EQ(zelvo.account(), "普通账号 12345678");
    EXPECT_EQ(zelvo.title(), client.setup().title);
}

// The client's main window is destroyed once its confirmation was accepted:
// the order may be out, the cancel may have gone through.
TEST(Unanswered, ClientClosedAfterAConfirmation)
{
    {
        Client client(editionClient(Broker::Huatai, false));
        ZelvoLibrary zelvo;
        const OrderAnswer answer = orderStalledAt(client, zelvo, Incident{Moment::OrderConfirmed, {}, -1, 0});
        EXPECT_EQ(answer.message, "交易客户端已关闭,委托结果未知");
    }
    {
        Client client(editionClient(Broker::Huatai, false));
        ZelvoLibrary zelvo;
        attach(zelvo);
        client.incidents().plan(Incident{Moment::CancelConfirmed, {}, -1, 0});
        const CancelAnswer answer = zelvo.cancel(901);
        EXPECT_TRUE(answer.accepted);
        EXPECT_EQ(answer.message, "交易客户端已关闭,撤单结果未知");
    }
}
