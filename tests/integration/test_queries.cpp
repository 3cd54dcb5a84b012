// Zelvo_QueryData against the substitute client: the table text byte for
// byte, each way the client answers a query, the funds kinds, the shortable
// page's trigger per edition, and the bounds of the wait.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "editions.h"
#include "zelvo_library.h"

using substitute::Broker;
using substitute::Client;
using substitute::ClientSetup;
using substitute::editionClient;
using substitute::QueryClick;
using substitute::QueryReply;
using substitute::ReplyKind;
using substitute::Row;

namespace {

const std::string noRecords = "没有相应的查询信息!";
const std::string busy = "上次请求未返回，请不要频繁点击!";

// Lines joined by LF, cells by TAB: the table text the library returns.
std::string table(const std::vector<std::vector<std::string>>& lines)
{
    std::string text;
    for (size_t line = 0; line < lines.size(); ++line) {
        text += line == 0 ? "" : "\n";
        for (size_t cell = 0; cell < lines[line].size(); ++cell) {
            text += (cell == 0 ? "" : "\t") + lines[line][cell];
        }
    }
    return text;
}

QueryReply reply(ReplyKind kind, DWORD delayMs = 20, std::string text = {})
{
    return QueryReply{kind, delayMs, std::move(text)};
}

// Attaches a fresh library to the client; the test stops when that fails.
void attach(ZelvoLibrary& zelvo)
{
    const LoginAnswer answer = zelvo.login();
    ASSERT_TRUE(answer.attached) << answer.message;
}

}  // namespace

TEST(Queries, NotAttachedUnknownKindOrMissingPageRunsNoQuery)
{
    // This client lacks the shareholder list.
    ClientSetup setup = editionClient(Broker::Huatai, false);
    std::vector<substitute::TreeNode>& queryItems = setup.tree[1].children;
    queryItems.erase(std::remove_if(queryItems.begin(), queryItems.end(),
                                    [](const substitute::TreeNode& node) { return node.caption == "股东列表"; }),
                     queryItems.end());
    Client client(setup);
    ZelvoLibrary zelvo;
    for (int kind : {0, 4, 11, 12, -1}) {
        const QueryAnswer answer = zelvo.query(kind);
        EXPECT_EQ(answer.text, "") << kind;
        EXPECT_EQ(answer.message, "未登录") << kind;
    }
    ASSERT_NO_FATAL_FAILURE(attach(zelvo));
    client.onUi([&] { ShowWindow(client.mainWindow(), SW_SHOW); });
    const HWND stray = client.openPopup({});
    for (int kind : {12, -1, 11}) {
        const QueryAnswer answer = zelvo.query(kind);
        EXPECT_EQ(answer.text, "") << kind;
        EXPECT_EQ(answer.message, "不支持") << kind;
    }
    EXPECT_FALSE(client.isVisible()) << "the client is hidden on every call";
    EXPECT_FALSE(IsWindow(stray)) << "stray pop-ups are closed before the kind is looked at";
    EXPECT_TRUE(client.queries().clicks().empty());
}

TEST(Queries, ListsComeBackAsTableTextByteForByte)
{
    Client client(editionClient(Broker::Huatai, false));
    substitute::QueryDesk& desk = client.queries();
    ZelvoLibrary zelvo;
    ASSERT_NO_FATAL_FAILURE(attach(zelvo));

    // GBK cells, an empty cell inside a row and an empty last cell.
    const std::string longCell(6000, 'x');
    std::string longGbk;
    for (int i = 0; i < 2500; ++i) {
        longGbk += "中";
    }
    desk.setColumns("当日委托", {"委托编号", "证券名称", "备注"});
    desk.setRows("当日委托", {{"1001", "浦发银行", "已报"}, {"1002", "", "部分成交"}, {"1003", "平安银行", ""},
                             {"1004", longGbk, longCell}});
    desk.setStatus("当日委托", "共4条记录");
    QueryAnswer answer = zelvo.query(4);
    EXPECT_EQ(answer.message, "共4条记录");
    EXPECT_EQ(answer.text, table({{"委托编号", "证券名称", "备注"},
                                  {"1001", "浦发银行", "已报"},
                                  {"1002", "", "部分成交"},
                                  {"1003", "平安银行", ""},
                                  {"1004", longGbk, longCell}}));

    // The status text of the last query is cleared first: the answer is the
    // new one, which comes only after a while.
    desk.setRows("当日委托", {{"2001", "招商银行", "已撤"}});
    desk.setStatus("当日委托", "共1条记录");
    desk.queueReply("当日委托", reply(ReplyKind::Data, 150));
    answer = zelvo.query(4);
    EXPECT_EQ(answer.message, "共1条记录");
    EXPECT_EQ(answer.text, table({{"委托编号", "证券名称", "备注"}, {"2001", "招商银行", "已撤"}}));

    // Thousands of rows, all of them in the list's order.
    std::vector<Row> many;
    std::vector<std::vector<std::string>> expected = {{"成交编号", "证券代码"}};
    for (int row = 0; row < 1500; ++row) {
        many.push_back({"T" + std::to_string(row), std::to_string(600000 + row)});
        expected.push_back(many.back());
    }
    desk.setContents("当日成交", {{"成交编号", "证券代码"}, many, "共1500条", "", "", ""});
    answer = zelvo.query(5);
    EXPECT_EQ(answer.message, "共1500条");
    EXPECT_EQ(answer.text, table(expected));

    // Columns without rows give the header alone; rows without columns (a
    // list without header items) give nothing.
    desk.setContents("资金股份", {{"证券代码", "证券名称", "可用余额"}, {}, "无持仓", "", "", ""});
    desk.setContents("股东列表", {{}, {{"A1", "x"}, {"B2", "y"}}, "共2条", "", "", ""});
    answer = zelvo.query(3);
    EXPECT_EQ(answer.text, "证券代码\t证券名称\t可用余额");
    EXPECT_EQ(answer.message, "无持仓");
    answer = zelvo.query(11);
    EXPECT_EQ(answer.text, "");
    EXPECT_EQ(answer.message, "共2条");

    // Each read of the wait is a message of its own. An answer that lands
    // between the reads of one poll must still be taken whole: a list the
    // answer empties is no message row made of its old first cell.
    desk.setStatus("当日成交", "查询完毕");
    for (int query = 0; query < 60; ++query) {
        desk.setRows("当日成交", query % 2 == 0 ? std::vector<Row>{} : std::vector<Row>{{"T1", "600000"}});
        desk.queueReply("当日成交", reply(ReplyKind::Data, 10 + query % 7));
        ASSERT_EQ(zelvo.query(5).message, "查询完毕") << "query " << query;
    }

    // The other list kinds read their own pages through their own buttons.
    EXPECT_EQ(zelvo.query(9).text.rfind("委托时间\t证券代码", 0), 0u);
    EXPECT_EQ(zelvo.query(6).text.rfind("合约编号\t证券代码", 0), 0u);
    EXPECT_EQ(zelvo.query(7).text.rfind("合约编号\t证券代码", 0), 0u);
    using Click = std::pair<std::string, int>;
    std::vector<Click> wanted = {{"当日委托", 1140}, {"当日委托", 1140}, {"当日成交", 1140}, {"资金股份", 1140},
                                 {"股东列表", 1140}};
    wanted.insert(wanted.end(), 60, Click{"当日成交", 1140});
    wanted.insert(wanted.end(), {{"撤单", 1140}, {"融资余额查询", 144}, {"融券余额查询", 144}});
    std::vector<Click> clicks;
    for (const QueryClick& click : desk.clicks()) {
        clicks.emplace_back(click.caption, click.buttonId);
    }
    EXPECT_EQ(clicks, wanted);
}

TEST(Queries, PromptsMessageRowsAndBusyAnswers)
{
    Client client(editionClient(Broker::Huatai, false));
    substitute::QueryDesk& desk = client.queries();
    ZelvoLibrary zelvo;
    ASSERT_NO_FATAL_FAILURE(attach(zelvo));

    // No records: the message row is shown first and the wait goes on to
    // the status text; the list still holds the message row.
    desk.setColumns("当日成交", {"成交编号", "证券代码", "成交数量"});
    desk.setStatus("当日成交", "查询完毕");
    desk.queueReply("当日成交", reply(ReplyKind::NoRecords, 50));
    QueryAnswer answer = zelvo.query(5);
    EXPECT_EQ(answer.message, "查询完毕");
    EXPECT_EQ(answer.text, table({{"成交编号", "证券代码", "成交数量"}, {noRecords, "", ""}}));

    // Any other message row is the answer.
    desk.queueReply("当日委托", reply(ReplyKind::MessageRow, 20, "查询失败:通讯中断"));
    answer = zelvo.query(4);
    EXPECT_EQ(answer.text, "");
    EXPECT_EQ(answer.message, "查询失败:通讯中断");

    // That row is still in the list when the next query starts; it is not
    // taken for the next answer, which comes later.
    desk.setRows("当日委托", {{"3001", "600000"}});
    desk.setColumns("当日委托", {"委托编号", "证券代码"});
    desk.setStatus("当日委托", "共1条");
    desk.queueReply("当日委托", reply(ReplyKind::Data, 200));
    answer = zelvo.query(4);
    EXPECT_EQ(answer.message, "共1条");
    EXPECT_EQ(answer.text, "委托编号\t证券代码\n3001\t600000");

    // An error prompt is confirmed and returned.
    desk.queueReply("当日委托", reply(ReplyKind::ErrorPrompt, 20, "委托查询失败,请稍后再试"));
    answer = zelvo.query(4);
    EXPECT_EQ(answer.text, "");
    EXPECT_EQ(answer.message, "委托查询失败,请稍后再试");

    // The busy prompt is confirmed and the data that follows is returned;
    // on a credit page (its own status text and button).
    desk.setContents("融资余额查询", {{"合约编号", "负债金额"}, {{"H9", "1.00"}}, "共1笔合约", "", "", ""});
    desk.queueReply("融资余额查询", reply(ReplyKind::BusyThenData, 30));
    answer = zelvo.query(6);
    EXPECT_EQ(answer.message, "共1笔合约");
    EXPECT_EQ(answer.text, "合约编号\t负债金额\nH9\t1.00");

    const std::vector<substitute::QueryPrompt> prompts = desk.prompts();
    ASSERT_EQ(prompts.size(), 2u);
    EXPECT_EQ(prompts[0].text, "委托查询失败,请稍后再试");
    EXPECT_EQ(prompts[1].text, busy);
    EXPECT_TRUE(prompts[0].confirmed && prompts[1].confirmed) << "each prompt closed by its 7015 button";
}

TEST(Queries, FundsKindsAndCurrencySummary)
{
    Client client(editionClient(Broker::Huatai, false));
    substitute::QueryDesk& desk = client.queries();
    ZelvoLibrary zelvo;
    ASSERT_NO_FATAL_FAILURE(attach(zelvo));

    const std::string rmb = "人民币 余额:100.50 可用:80.00 ";
    const std::string usd = "美元  余额:1.00 可用:2.00 冻结:3.00 ";  // more values than labels
    desk.setFunds("资金股份", rmb, usd, "");
    desk.setStatus("资金股份", "查询完毕");
    EXPECT_EQ(zelvo.query(0).text, rmb);
    const QueryAnswer dollars = zelvo.query(1);
    EXPECT_EQ(dollars.text, usd);
    EXPECT_EQ(dollars.message, "共1条") << "not the client's status text";
    const QueryAnswer hongKong = zelvo.query(2);
    EXPECT_EQ(hongKong.text, "");
    EXPECT_EQ(hongKong.message, "共1条");

    const QueryAnswer summary = zelvo.query(10);
    EXPECT_EQ(summary.message, "共3条");
    EXPECT_EQ(summary.text, "币种\t余额\t可用\n人民币\t100.50\t80.00\n美元\t1.00\t2.00\t3.00\n港元");

    desk.setFunds("资金股份", "", "", "");
    EXPECT_EQ(zelvo.query(10).text, "币种\n人民币\n美元\n港元");

    // A funds kind the client answers with a prompt returns the prompt.
    desk.queueReply("资金股份", reply(ReplyKind::ErrorPrompt, 20, "资金查询失败"));
    const QueryAnswer failed = zelvo.query(0);
    EXPECT_EQ(failed.text, "");
    EXPECT_EQ(failed.message, "资金查询失败");
}

// Kind 8 is started by the toolbar on some editions (the disabled "刷新"
// before the enabled one is passed over), by the page's own button 234 on
// one, and by the credit query button on the rest.
TEST(Queries, ShortablePageIsStartedAsEachEditionDoesIt)
{
    for (Broker broker : substitute::allBrokers) {
        const std::string name = substitute::editionFacts(broker).brokerName;
        SCOPED_TRACE(name);
        Client client(editionClient(broker, true));
        ZelvoLibrary zelvo;
        ASSERT_NO_FATAL_FAILURE(attach(zelvo));
        const QueryAnswer answer = zelvo.query(8);
        EXPECT_EQ(answer.message, "查询完毕");
        EXPECT_EQ(answer.text.rfind("证券代码\t证券名称\t融券保证金比例", 0), 0u) << answer.text;

        const std::vector<QueryClick> clicks = client.queries().clicks();
        const std::vector<std::string> presses = client.toolbarLog().presses();
        if (clicks.size() != 1) {
            ADD_FAILURE() << clicks.size() << " query clicks, " << presses.size() << " toolbar presses";
            continue;
        }
        if (name == "招商" || name == "国信" || name == "齐鲁") {
            const std::string button = name == "齐鲁" ? "刷新" : "融券卖出";
            EXPECT_EQ(presses, std::vector<std::string>{button});
            EXPECT_EQ(clicks[0].toolbarButton, button);
            EXPECT_EQ(clicks[0].buttonId, 0) << "no button click besides the press";
        } else {
            EXPECT_TRUE(presses.empty());
            EXPECT_EQ(clicks[0].buttonId, name == "国泰君安" ? 234 : 144);
            const std::string caption =
                name == "国泰君安" ? "标的证券查询" : name == "中信" ? "可融证券查询" : "融券卖出";
            EXPECT_EQ(clicks[0].caption, caption);
        }
    }
}

TEST(Queries, UnansweredQueryTimesOutAfterThirtySeconds)
{
    Client client(editionClient(Broker::Huatai, false));
    ZelvoLibrary zelvo;
    ASSERT_NO_FATAL_FAILURE(attach(zelvo));
    client.queries().queueReply("当日委托", reply(ReplyKind::Silence));
    const auto start = std::chrono::steady_clock::now();
    const QueryAnswer answer = zelvo.query(4);
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(answer.text, "");
    EXPECT_EQ(answer.message, "查询超时");
    EXPECT_GE(seconds, 29.5);
    EXPECT_LE(seconds, 40.0);
}
