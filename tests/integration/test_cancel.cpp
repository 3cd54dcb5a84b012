// Zelvo_CancelOrder against the substitute client: which row is found and
// how it is double-clicked, the lists and refreshes that stop a cancel
// before anything is clicked, the client's prompts after the double click,
// and the bounds of the waits for them.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "editions.h"
#include "zelvo_library.h"

using substitute::Broker;
using substitute::CancelRequest;
using substitute::CancelScript;
using substitute::Client;
using substitute::ClientSetup;
using substitute::editionClient;
using substitute::QueryReply;
using substitute::ReplyKind;
using substitute::Row;

namespace {

const std::string busy = "上次请求未返回，请不要频繁点击!";
const std::string clicked = "click 7015";

// The today's-orders page of the ordinary editions.
const std::string ordersPage = "当日委托";

// The columns of the today's-orders list, the order number not first.
const std::vector<std::string> orderColumns = {"委托时间", "证券代码", "证券名称", "委托编号", "状态说明"};
constexpr int orderNoColumn = 3;

Row order(const std::string& code, const std::string& orderNo)
{
    return {"09:31:05", code, "浦发银行", orderNo, "已报"};
}

void attach(ZelvoLibrary& zelvo)
{
    const LoginAnswer answer = zelvo.login();
    ASSERT_TRUE(answer.attached) << answer.message;
}

void showOrders(Client& client, const std::string& caption, std::vector<std::string> columns, std::vector<Row> rows)
{
    client.queries().setColumns(caption, std::move(columns));
    client.queries().setRows(caption, std::move(rows));
}

HWND ordersList(const Client& client, const std::string& caption)
{
    return FindWindowExA(client.page(caption), nullptr, WC_LISTVIEWA, nullptr);
}

// The steps of a flow whose every prompt was answered with its button.
std::vector<std::string> answered(const std::vector<std::string>& prompts)
{
    std::vector<std::string> steps;
    for (const std::string& prompt : prompts) {
        steps.push_back("open " + prompt);
        steps.push_back(clicked);
    }
    return steps;
}

std::string confirmation(const std::string& code, const std::string& orderNo)
{
    return substitute::cancelConfirmationText(code, orderNo);
}

// Waits up to 5 s for a prompt of the client's to be on screen.
bool waitForOpenPrompt(const Client& client)
{
    for (const ULONGLONG end = GetTickCount64() + 5000; GetTickCount64() < end; Sleep(5)) {
        for (HWND window = FindWindowExA(nullptr, nullptr, "#32770", nullptr); window != nullptr;
             window = FindWindowExA(nullptr, window, "#32770", nullptr)) {
            if (GetWindow(window, GW_OWNER) == client.mainWindow() && IsWindowVisible(window)) {
                return true;
            }
        }
    }
    return false;
}

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

TEST(Cancel, RefusedWhenNotAttachedOrWithoutTheOrdersPage)
{
    {
        Client client(editionClient(Broker::Huatai, false));
        ZelvoLibrary zelvo;
        const CancelAnswer answer = zelvo.cancel(1001);
        EXPECT_FALSE(answer.accepted);
        EXPECT_EQ(answer.message, "未登录");
        EXPECT_TRUE(client.queries().clicks().empty());
    }
    // An edition whose tree lacks the today's-orders item.
    ClientSetup setup = editionClient(Broker::Huatai, false);
    std::vector<substitute::TreeNode>& queries = setup.tree[1].children;
    queries.erase(std::remove_if(queries.begin(), queries.end(),
                                 [](const substitute::TreeNode& item) { return item.caption == ordersPage; }),
                  queries.end());
    Client client(setup);
    ZelvoLibrary zelvo;
    ASSERT_NO_FATAL_FAILURE(attach(zelvo));
    client.onUi([&] { ShowWindow(client.mainWindow(), SW_SHOW); });
    const HWND stray = client.openPopup({});
    const CancelAnswer answer = zelvo.cancel(1001);
    EXPECT_FALSE(answer.accepted);
    EXPECT_EQ(answer.message, "不支持");
    EXPECT_FALSE(client.isVisible()) << "the client is hidden on every call";
    EXPECT_FALSE(IsWindow(stray)) << "stray pop-ups are closed before the page is looked up";
    EXPECT_TRUE(client.queries().clicks().empty());
}

// On the edition whose page is "当日委托查询": the page is refreshed, the
// first of two rows with the number is selected and double-clicked, and
// the client gets the notification as a list reports its own double click.
TEST(Cancel, DoubleClicksTheFirstRowWithTheNumberAsTheListWould)
{
    const std::string page = "当日委托查询";
    Client client(editionClient(Broker::Guotai, false));
    ZelvoLibrary zelvo;
    ASSERT_NO_FATAL_FAILURE(attach(zelvo));
    showOrders(client, page, orderColumns,
               {order("600000", "1000"), order("000001", "1001"), order("600036", "1002"), order("600519", "1001")});

    const CancelAnswer answer = zelvo.cancel(1001);
    EXPECT_TRUE(answer.accepted);
    EXPECT_EQ(answer.message, CancelScript{}.resultText);
    ASSERT_EQ(client.queries().clicks().size(), 1u);
    EXPECT_EQ(client.queries().clicks()[0].caption, page) << "the list is refreshed first";

    const HWND list = ordersList(client, page);
    const std::vector<CancelRequest> requests = client.cancels().requests();
    ASSERT_EQ(requests.size(), 1u);
    const CancelRequest& request = requests[0];
    EXPECT_EQ(request.page, page);
    EXPECT_EQ(request.notice.hwndFrom, list);
    EXPECT_EQ(request.notice.idFrom, static_cast<UINT_PTR>(GetDlgCtrlID(list)));
    EXPECT_EQ(request.notice.code, NM_DBLCLK);
    EXPECT_EQ(request.notice.iItem, 1);
    EXPECT_EQ(request.notice.iSubItem, orderNoColumn);
    EXPECT_EQ(request.selectedRows, std::vector<int>{1});
    EXPECT_EQ(request.steps, answered({confirmation("000001", "1001"), CancelScript{}.resultText}));

    // A row far down the list is scrolled into view before it is clicked.
    std::vector<Row> many;
    for (int row = 0; row < 200; ++row) {
        many.push_back(order("600000", std::to_string(5000 + row)));
    }
    showOrders(client, page, orderColumns, many);
    ASSERT_TRUE(zelvo.cancel(5150).accepted);
    const LRESULT top = SendMessageA(list, LVM_GETTOPINDEX, 0, 0);
    const LRESULT perPage = SendMessageA(list, LVM_GETCOUNTPERPAGE, 0, 0);
    EXPECT_LE(top, 150);
    EXPECT_GT(top + perPage, 150);
    EXPECT_EQ(client.cancels().requests().back().notice.iItem, 150);
}

TEST(Cancel, MatchesOnlyTheNumbersExactText)
{
    Client client(editionClient(Broker::Huatai, false));
    ZelvoLibrary zelvo;
    ASSERT_NO_FATAL_FAILURE(attach(zelvo));
    showOrders(client, ordersPage, orderColumns,
               {order("600000", "01001"), order("600000", " 1001"), order("600000", "1001 "),
                order("600000", "10010"), order("600000", "-7")});

    CancelAnswer answer = zelvo.cancel(1001);
    EXPECT_FALSE(answer.accepted);
    EXPECT_EQ(answer.message, "委托不存在") << "no trimming, no leading zeros, no part of a cell";
    answer = zelvo.cancel(7);
    EXPECT_FALSE(answer.accepted);
    EXPECT_EQ(answer.message, "委托不存在");
    EXPECT_TRUE(client.cancels().requests().empty());

    answer = zelvo.cancel(-7);
    EXPECT_TRUE(answer.accepted) << answer.message;
    const std::vector<CancelRequest> requests = client.cancels().requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].notice.iItem, 4) << "a negative number is looked for with its sign";
}

// Failures before the double click leave the list unselected and the
// client's flow untouched.
TEST(Cancel, ClicksNothingWhenTheRefreshOrTheListFails)
{
    Client client(editionClient(Broker::Huatai, false));
    ZelvoLibrary zelvo;
    ASSERT_NO_FATAL_FAILURE(attach(zelvo));
    const HWND list = ordersList(client, ordersPage);
    const auto nothingSelected = [&] { return SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0) == 0; };

    // The refresh answered with a message row or a prompt: that is the
    // answer. (Row 0 starts with an empty first cell, so the old list can
    // never look like a message row; a list rewritten in the middle of a
    // poll is the query tests' concern.)
    showOrders(client, ordersPage, orderColumns, {{"", "600000", "浦发银行", "9999", "已报"}});
    CancelAnswer answer = zelvo.cancel(1001);
    EXPECT_EQ(answer.message, "委托不存在");
    client.queries().queueReply(ordersPage, QueryReply{ReplyKind::MessageRow, 20, "查询失败:通讯中断"});
    answer = zelvo.cancel(1001);
    EXPECT_FALSE(answer.accepted);
    EXPECT_EQ(answer.message, "查询失败:通讯中断");
    showOrders(client, ordersPage, orderColumns, {order("600000", "1001")});
    client.queries().queueReply(ordersPage, QueryReply{ReplyKind::ErrorPrompt, 20, "委托查询失败,请稍后再试"});
    answer = zelvo.cancel(1001);
    EXPECT_FALSE(answer.accepted);
    EXPECT_EQ(answer.message, "委托查询失败,请稍后再试");
    EXPECT_TRUE(nothingSelected());

    // The number is there, but not the code column: not an orders list.
    showOrders(client, ordersPage, {"委托编号", "证券名称"}, {{"1001", "浦发银行"}});
    answer = zelvo.cancel(1001);
    EXPECT_FALSE(answer.accepted);
    EXPECT_EQ(answer.message, "撤单出错");
    EXPECT_TRUE(nothingSelected());

    // Without the number column the order is missing, even without the code column.
    for (const std::vector<std::string>& columns :
         {std::vector<std::string>{"证券代码", "合同编号"}, std::vector<std::string>{"证券名称", "合同编号"}}) {
        showOrders(client, ordersPage, columns, {{"600000", "1001"}});
        answer = zelvo.cancel(1001);
        EXPECT_FALSE(answer.accepted);
        EXPECT_EQ(answer.message, "委托不存在") << columns[0];
        EXPECT_TRUE(nothingSelected());
    }

    EXPECT_TRUE(client.cancels().requests().empty());
    EXPECT_EQ(client.queries().clicks().size(), 6u) << "every cancel refreshed the list";
}

TEST(Cancel, FollowsTheClientsPromptsAfterTheDoubleClick)
{
    Client client(editionClient(Broker::Huatai, false));
    substitute::CancelDesk& desk = client.cancels();
    ZelvoLibrary zelvo;
    ASSERT_NO_FATAL_FAILURE(attach(zelvo));
    showOrders(client, ordersPage, orderColumns, {order("600000", "1001")});
    const std::string confirm = confirmation("600000", "1001");

    // A first prompt that is not the confirmation is closed and returned.
    CancelScript refusal;
    refusal.confirms = false;
    desk.setScript(refusal);
    CancelAnswer answer = zelvo.cancel(1001);
    EXPECT_FALSE(answer.accepted);
    EXPECT_EQ(answer.message, refusal.refusalText);

    // One busy answer is followed to the result.
    CancelScript oneBusy;
    oneBusy.busyAnswers = 1;
    oneBusy.resultText = "撤单成功";
    desk.setScript(oneBusy);
    answer = zelvo.cancel(1001);
    EXPECT_TRUE(answer.accepted);
    EXPECT_EQ(answer.message, "撤单成功");

    // A second busy answer is the message; the result comes after the call
    // and stays open.
    CancelScript twoBusy = oneBusy;
    twoBusy.busyAnswers = 2;
    desk.setScript(twoBusy);
    answer = zelvo.cancel(1001);
    EXPECT_TRUE(answer.accepted);
    EXPECT_EQ(answer.message, busy);
    EXPECT_TRUE(waitForOpenPrompt(client)) << "the result prompt comes after the call";

    // The next cancel closes that prompt first, then waits out the client's pauses.
    CancelScript slow;
    slow.delayMs = 300;
    desk.setScript(slow);
    answer = zelvo.cancel(1001);
    EXPECT_TRUE(answer.accepted) << answer.message;
    EXPECT_EQ(answer.message, slow.resultText);

    const std::vector<CancelRequest> requests = desk.requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[0].steps, answered({refusal.refusalText}));
    EXPECT_EQ(requests[1].steps, answered({confirm, busy, "撤单成功"}));
    std::vector<std::string> leftOpen = answered({confirm, busy, busy});
    leftOpen.push_back("open 撤单成功");
    leftOpen.push_back("close 撤单成功");
    EXPECT_EQ(requests[2].steps, leftOpen);
    EXPECT_EQ(requests[3].steps, answered({confirm, slow.resultText}));
}

TEST(Cancel, GivesUpWhenTheDoubleClickGetsNoPrompt)
{
    Client client(editionClient(Broker::Huatai, false));
    ZelvoLibrary zelvo;
    ASSERT_NO_FATAL_FAILURE(attach(zelvo));
    showOrders(client, ordersPage, orderColumns, {order("600000", "1001")});
    CancelScript silent;
    silent.answers = false;
    client.cancels().setScript(silent);

    const auto start = std::chrono::steady_clock::now();
    const CancelAnswer answer = zelvo.cancel(1001);
    const double seconds = secondsSince(start);
    EXPECT_FALSE(answer.accepted);
    EXPECT_EQ(answer.message, "等待撤单确认超时");
    EXPECT_GE(seconds, 29.5);
    EXPECT_LT(seconds, 40.0);
    ASSERT_EQ(client.cancels().requests().size(), 1u) << "the double click did arrive";
    EXPECT_TRUE(client.cancels().requests()[0].steps.empty());
}

TEST(Cancel, StaysAcceptedWhenTheAnswerNeverComes)
{
    Client client(editionClient(Broker::Huatai, false));
    ZelvoLibrary zelvo;
    ASSERT_NO_FATAL_FAILURE(attach(zelvo));
    showOrders(client, ordersPage, orderColumns, {order("600000", "1001")});
    CancelScript mute;
    mute.reports = false;
    client.cancels().setScript(mute);

    const auto start = std::chrono::steady_clock::now();
    const CancelAnswer answer = zelvo.cancel(1001);
    const double seconds = secondsSince(start);
    EXPECT_TRUE(answer.accepted) << "the confirmation was accepted";
    EXPECT_EQ(answer.message, "等待撤单回报超时");
    EXPECT_GE(seconds, 29.5);
    EXPECT_LT(seconds, 40.0);
    ASSERT_EQ(client.cancels().requests().size(), 1u);
    EXPECT_EQ(client.cancels().requests()[0].steps, answered({confirmation("600000", "1001")}));
}
