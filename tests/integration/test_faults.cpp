// Faults around the library. The client failing under it: closed while an
// operation waits on it, and changing a list while it is read. Inputs a
// caller should never pass, each with a defined answer and no crash: null
// pointers, huge and malformed codes, non-finite prices and the extreme
// integers.
#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cmath>
#include <functional>
#include <limits>
#include <thread>

#include "editions.h"
#include "zelvo_library.h"

using substitute::Broker;
using substitute::Client;
using substitute::editionClient;

namespace {

const std::string clientGone = "交易客户端已关闭";
const std::string notSupported = "不支持";
const std::string noSuchOrder = "委托不存在";

// Runs `operation` against a client that never answers and closes its main
// window half a second in; gives the operation's message and how long it took.
std::pair<std::string, ULONGLONG> closeClientDuring(const std::function<void(Client&)>& silence,
                                                    const std::function<std::string(ZelvoLibrary&)>& operation)
{
    Client client(editionClient(Broker::Huatai, false));
    ZelvoLibrary zelvo;
    EXPECT_TRUE(zelvo.login().attached);
    silence(client);
    std::thread closer([&] {
        Sleep(500);
        client.onUi([&] { DestroyWindow(client.mainWindow()); });
    });
    const ULONGLONG start = GetTickCount64();
    const std::string message = operation(zelvo);
    const ULONGLONG took = GetTickCount64() - start;
    closer.join();
    EXPECT_EQ(zelvo.login().message, "未找到交易客户端主窗口") << "the next login finds no client";
    return {message, took};
}

}  // namespace

TEST(Faults, ClientClosedWhileAnOrderAQueryAndACancelWait)
{
    const auto order = closeClientDuring(
        [](Client& client) {
            substitute::OrderScript script;
            script.answers = false;
            client.orders().setScript(script);
        },
        [](ZelvoLibrary& zelvo) {
            const OrderAnswer answer = zelvo.order(0, "600000", 10.0, 100);
            EXPECT_EQ(answer.contract, -1);
            return answer.message;
        });
    const auto query = closeClientDuring(
        [](Client& client) { client.queries().queueReply("资金股份", {substitute::ReplyKind::Silence, 0, ""}); },
        [](ZelvoLibrary& zelvo) {
            const QueryAnswer answer = zelvo.query(3);
            EXPECT_EQ(answer.text, "");
            return answer.message;
        });
    const auto cancel = closeClientDuring(
        [](Client& client) {
            substitute::CancelScript script;
            script.answers = false;
            client.cancels().setScript(script);
        },
        [](ZelvoLibrary& zelvo) {
            const CancelAnswer answer = zelvo.cancel(901);  // a row of the default today's orders
            EXPECT_FALSE(answer.accepted);
            return answer.message;
        });
    // The order's click was posted before the client went: it may be out.
    EXPECT_EQ(order.first, clientGone + ",委托结果未知");
    EXPECT_EQ(query.first, clientGone);
    EXPECT_EQ(cancel.first, clientGone);
    for (const auto& [message, took] : {order, query, cancel}) {
        EXPECT_LT(took, 5000u) << "the wait ends when the client is gone, not at its bound";
    }
}

// The client adds and removes rows while the library reads the list: the
// table may mix two states of the list, but every line keeps its shape.
TEST(Faults, ListChangingWhileItIsRead)
{
    Client client(editionClient(Broker::Huatai, false));
    std::vector<substitute::Row> rows;
    for (int r = 0; r < 300; ++r) {
        rows.push_back({std::to_string(600000 + r), "浦发银行", "100", "", "10.00"});
    }
    client.queries().setColumns("资金股份", {"证券代码", "证券名称", "股票余额", "备注", "参考市值"});
    client.queries().setRows("资金股份", rows);
    ZelvoLibrary zelvo;
    ASSERT_TRUE(zelvo.login().attached);
    std::atomic<bool> reading{true};
    std::thread churn([&] {
        for (int step = 0; reading; ++step) {
            client.onUi([&] {
                const HWND list = FindWindowExA(client.page("资金股份"), nullptr, "SysListView32", nullptr);
                LVITEMA item = {};
                item.mask = LVIF_TEXT;
                item.iItem = step % 50;
                item.pszText = const_cast<char*>("000001");
                if (step % 2 == 0) {
                    SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
                } else {
                    SendMessageA(list, LVM_DELETEITEM, static_cast<WPARAM>(step % 50), 0);
                }
            });
            Sleep(1);
        }
    });
    for (int query = 0; query < 5; ++query) {
        const QueryAnswer answer = zelvo.query(3);
        size_t start = 0;
        while (start < answer.text.size()) {
            const size_t end = std::min(answer.text.find('\n', start), answer.text.size());
            const std::string line = answer.text.substr(start, end - start);
            EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 4) << line;
            start = end + 1;
        }
    }
    reading = false;
    churn.join();
}

TEST(Faults, NullPointersEverywhere)
{
    Client client(editionClient(Broker::Huatai, false));
    ZelvoLibrary zelvo;
    ASSERT_TRUE(zelvo.Login(nullptr, nullptr));
    for (auto getter : {zelvo.GetWndText, zelvo.GetBroker, zelvo.GetAccount}) {
        getter(nullptr);
    }
    zelvo.QueryData(3, nullptr, nullptr);
    EXPECT_EQ(zelvo.SendOrder(99, nullptr, 1.0, 1, nullptr), -1);
    EXPECT_FALSE(zelvo.CancelOrder(INT_MIN, nullptr));
    // A null code is taken as empty text: the order goes to the client as it is.
    const OrderAnswer order = zelvo.order(0, nullptr, 10.0, 100);
    EXPECT_EQ(client.orders().tickets().back().code, "");
    EXPECT_FALSE(order.message.empty());
    EXPECT_TRUE(zelvo.login().attached) << "the session is still usable";
}

TEST(Faults, ExtremeKindsAndNumbers)
{
    Client client(editionClient(Broker::Huatai, false));
    ZelvoLibrary zelvo;
    ASSERT_TRUE(zelvo.login().attached);
    for (int kind : {INT_MIN, -1, 7, INT_MAX}) {
        EXPECT_EQ(zelvo.order(kind, "600000", 10.0, 100).message, notSupported) << kind;
    }
    for (int kind : {INT_MIN, -1, 12, INT_MAX}) {
        const QueryAnswer answer = zelvo.query(kind);
        EXPECT_EQ(answer.text, "");
        EXPECT_EQ(answer.message, notSupported) << kind;
    }
    for (int number : {INT_MIN, -1, 0, INT_MAX}) {
        const CancelAnswer answer = zelvo.cancel(number);
        EXPECT_FALSE(answer.accepted);
        EXPECT_EQ(answer.message, noSuchOrder) << number;
    }
    EXPECT_TRUE(client.orders().tickets().empty()) << "nothing reached the client";
}

// Whatever the caller writes is handed to the client unchanged (the client
// validates orders, the library does not), and the price text is always a
// plain printf rendering, never a crash.
TEST(Faults, MalformedCodesPricesAndQuantities)
{
    Client client(editionClient(Broker::Huatai, false));
    ZelvoLibrary zelvo;
    ASSERT_TRUE(zelvo.login().attached);
    // A megabyte of code would stall the client's edit: refused before anything is written.
    const std::string huge(1 << 20, '6');
    const OrderAnswer refused = zelvo.order(0, huge.c_str(), 10.0, 100);
    EXPECT_EQ(refused.contract, -1);
    EXPECT_EQ(refused.message, "证券代码过长");
    EXPECT_TRUE(client.orders().tickets().empty());
    const std::string unpairedLead = std::string("6000") + '\xd6';
    const std::string control = std::string("60\x01\t\r\n00", 8);
    for (const std::string& code : {unpairedLead, control, std::string("浦发银行")}) {
        const OrderAnswer answer = zelvo.order(0, code.c_str(), 10.0, 100);
        EXPECT_GT(answer.contract, 0);
        // The edit stores text as Unicode: a lone lead byte comes back as "?".
        if (code != unpairedLead) {
            EXPECT_EQ(client.orders().tickets().back().code, code) << "handed over unchanged";
        }
    }
    const double prices[] = {std::nan(""), std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity(), -5.0, 1e300};
    for (double price : prices) {
        const OrderAnswer answer = zelvo.order(0, "600000", price, 100);
        EXPECT_GT(answer.contract, 0);
    }
    const auto tickets = client.orders().tickets();
    ASSERT_GE(tickets.size(), 5u);
    EXPECT_EQ(tickets[tickets.size() - 5].price.substr(0, 3), "nan");
    EXPECT_EQ(tickets[tickets.size() - 4].price, "inf");
    EXPECT_EQ(tickets[tickets.size() - 3].price, "-inf");
    EXPECT_EQ(tickets[tickets.size() - 2].price, "-5.00");
    EXPECT_EQ(tickets.back().price.size(), 304u) << "1e300 with two decimals";
    for (int quantity : {INT_MIN, INT_MAX}) {
        (void)zelvo.order(0, "600000", 1.0, quantity);
        EXPECT_EQ(client.orders().tickets().back().quantity, std::to_string(quantity));
    }
}
