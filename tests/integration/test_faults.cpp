// The client failing under the library: closed while an operation waits on
// it, and changing a list while it is read.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "editions.h"
#include "zelvo_library.h"

using substitute::Broker;
using substitute::Client;
using substitute::editionClient;

namespace {

const std::string clientGone = "交易客户端已关闭";

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
    for (const auto& [message, took] : {order, query, cancel}) {
        EXPECT_EQ(message, clientGone);
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
