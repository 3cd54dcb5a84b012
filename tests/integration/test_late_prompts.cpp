// Prompts the library did not wait for: a confirmation the client shows
// after the order that caused it gave up, while another call waits, and
// answers and notices shown by another thread of the client. A late
// confirmation is never accepted by a call it does not belong to: accepting
// it would place an order its caller was told had failed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editions.h"
#include "zelvo_library.h"

using substitute::Broker;
using substitute::Client;
using substitute::editionClient;
using substitute::Incident;
using substitute::Moment;
using substitute::OrderScript;
using substitute::PopupSetup;
using Steps = std::vector<std::string>;

namespace {

const std::string orderUnknown = "交易客户端无响应,委托结果未知";
// The client's thread stops for longer than the library's 5 s bound.
constexpr DWORD stallMs = 6500;
// A confirmation that comes late: the stop right after the order click,
// then the client's usual pause before its first pop-up.
const Steps declinedConfirmation = {"click 2010", "open 交易确认", "close 交易确认"};

// An attached client that stops right after the next order click, then
// shows that order's confirmation 0.9 s after it answers again.
void stallAfterTheOrderClick(Client& client, ZelvoLibrary& zelvo)
{
    ASSERT_TRUE(zelvo.login().attached);
    OrderScript slow;
    slow.delayMs = 900;
    client.orders().setScript(slow);
    client.incidents().plan(Incident{Moment::OrderClicked, {}, -1, stallMs});
}

void waitForBacklog(Client& client)
{
    EXPECT_TRUE(client.incidents().waitForBacklog(2 * stallMs + 10000).has_value());
}

}  // namespace

// The order gives up while the client is stopped after its click, and says
// its outcome is unknown. The confirmation then comes up while a query waits
// for its answer: the query declines it and gets its own answer, and no
// order goes out.
TEST(LatePrompts, AQueryDeclinesAConfirmationThatCameAfterItsOrderGaveUp)
{
    Client client(editionClient(Broker::Huatai, false));
    ZelvoLibrary zelvo;
    stallAfterTheOrderClick(client, zelvo);
    client.queries().queueReply("资金股份", {substitute::ReplyKind::Data, 2500, ""});

    const OrderAnswer order = zelvo.order(0, "600000", 10.5, 100);
    EXPECT_EQ(order.contract, -1);
    EXPECT_EQ(order.message, orderUnknown);

    const QueryAnswer query = zelvo.query(3);
    EXPECT_EQ(query.message, "查询完毕");
    EXPECT_EQ(query.text.substr(0, 8), "证券代码");
    waitForBacklog(client);
    Sleep(1500);
    const std::vector<substitute::OrderTicket> tickets = client.orders().tickets();
    ASSERT_EQ(tickets.size(), 1u);
    EXPECT_EQ(tickets[0].steps, declinedConfirmation) << "declined, and no final prompt ever came";
    EXPECT_EQ(tickets[0].contract, -1);
}

// The same stop, and at once a second order for another code. The first
// order's confirmation, which names 600000, comes up while the second waits
// for its own: the second declines it and takes its own confirmation and
// answer.
TEST(LatePrompts, TheNextOrderDeclinesAConfirmationThatNamesAnotherCode)
{
    Client client(editionClient(Broker::Huatai, false));
    ZelvoLibrary zelvo;
    stallAfterTheOrderClick(client, zelvo);

    EXPECT_EQ(zelvo.order(0, "600000", 10.5, 100).message, orderUnknown);
    const OrderAnswer second = zelvo.order(0, "000001", 12.5, 200);

    const std::vector<substitute::OrderTicket> tickets = client.orders().tickets();
    ASSERT_EQ(tickets.size(), 2u);
    EXPECT_EQ(tickets[0].steps, declinedConfirmation);
    EXPECT_EQ(tickets[0].contract, -1) << "the first order never went out";
    EXPECT_EQ(tickets[1].code, "000001");
    EXPECT_GT(second.contract, 0) << second.message;
    EXPECT_EQ(second.contract, tickets[1].contract) << "the second order answers with its own contract";
}

// A confirmation that names no code cannot be told apart, and is taken as
// before; one naming the order's own code is taken too.
TEST(LatePrompts, AConfirmationNamingNoCodeOrTheOrdersOwnIsTaken)
{
    Client client(editionClient(Broker::Huatai, false));
    ZelvoLibrary zelvo;
    ASSERT_TRUE(zelvo.login().attached);
    for (bool namesOrder : {false, true}) {
        OrderScript script;
        script.confirmationNamesOrder = namesOrder;
        client.orders().setScript(script);
        const OrderAnswer answer = zelvo.order(1, "600000", 10.0, 100);
        EXPECT_GT(answer.contract, 0) << answer.message;
    }
}

// A client that shows its answer from another thread (its network thread):
// the answer is found and read, and a stray prompt another thread left open
// before the order is closed first.
TEST(LatePrompts, AnswersAndPromptsOfTheClientsOtherThreadsAreFound)
{
    substitute::ClientSetup setup = editionClient(Broker::Huatai, false);
    setup.popupsFromAnotherThread = true;
    Client client(setup);
    ZelvoLibrary zelvo;
    ASSERT_TRUE(zelvo.login().attached);
    PopupSetup stray;
    stray.message = "网络连接已恢复";
    stray.fromAnotherThread = true;
    const HWND strayPopup = client.openPopup(stray);

    const OrderAnswer answer = zelvo.order(0, "600000", 10.5, 100);

    EXPECT_FALSE(IsWindow(strayPopup)) << "closed before the order";
    ASSERT_EQ(client.orders().tickets().size(), 1u);
    EXPECT_EQ(answer.contract, client.orders().tickets()[0].contract) << answer.message;
    EXPECT_GT(answer.contract, 0);
}
