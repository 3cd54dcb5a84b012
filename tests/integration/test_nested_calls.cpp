// Calls made from inside a call: while an order waits for the client, the
// library dispatches the caller's own messages, and a timer of the caller
// calls the exports. Those calls touch nothing; the order goes on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editions.h"
#include "zelvo_library.h"

using substitute::Broker;
using substitute::Client;
using substitute::editionClient;

namespace {

const std::string inProgress = "上一个调用尚未返回";

// What the caller's timer saw; its procedure reaches it through a global,
// as a timer procedure has no parameter of its own.
struct NestedAnswers {
    ZelvoLibrary* zelvo = nullptr;
    int ticks = 0;
    std::vector<std::string> messages;
    std::vector<std::string> results;
    int contract = 0;
    bool attached = true;
    bool cancelled = true;
    std::string broker;
};
NestedAnswers* nested = nullptr;

void CALLBACK callExportsFromTimer(HWND, UINT, UINT_PTR, DWORD)
{
    if (nested == nullptr || nested->ticks++ > 0) {
        return;
    }
    ZelvoLibrary& zelvo = *nested->zelvo;
    std::vector<char> result(4096, '\x7f');
    std::vector<char> message(4096, '\x7f');
    zelvo.QueryData(3, result.data(), message.data());
    nested->results.push_back(result.data());
    nested->messages.push_back(message.data());
    nested->contract = zelvo.SendOrder(0, "600036", 30.0, 100, message.data());
    nested->messages.push_back(message.data());
    nested->cancelled = zelvo.CancelOrder(901, message.data());
    nested->messages.push_back(message.data());
    nested->attached = zelvo.Login("", message.data());
    nested->messages.push_back(message.data());
    zelvo.Logout();
    zelvo.GetBroker(message.data());
    nested->broker = message.data();
}

}  // namespace

TEST(NestedCalls, TouchNothingWhileAnOrderWaits)
{
    Client client(editionClient(Broker::Huatai, false));
    substitute::OrderScript slow;
    slow.delayMs = 400;  // the order waits, dispatching the caller's messages
    client.orders().setScript(slow);
    ZelvoLibrary zelvo;
    ASSERT_TRUE(zelvo.login().attached);
    const size_t queryClicks = client.queries().clicks().size();

    NestedAnswers answers;
    answers.zelvo = &zelvo;
    nested = &answers;
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, callExportsFromTimer);
    const OrderAnswer outer = zelvo.order(0, "600000", 10.5, 100);
    KillTimer(nullptr, timer);
    nested = nullptr;

    ASSERT_EQ(answers.ticks > 0, true) << "the timer fired while the order waited";
    EXPECT_EQ(answers.results, std::vector<std::string>{""});
    EXPECT_EQ(answers.messages, (std::vector<std::string>{inProgress, inProgress, inProgress, inProgress}));
    EXPECT_EQ(answers.contract, -1);
    EXPECT_FALSE(answers.cancelled);
    EXPECT_FALSE(answers.attached);
    EXPECT_EQ(answers.broker, "华泰") << "the getters answer as usual";

    const auto tickets = client.orders().tickets();
    ASSERT_EQ(tickets.size(), 1u) << "no second order was placed";
    EXPECT_EQ(outer.contract, tickets[0].contract);
    EXPECT_EQ(client.queries().clicks().size(), queryClicks) << "no query was started";
    EXPECT_TRUE(client.cancels().requests().empty());
    EXPECT_EQ(zelvo.query(3).message, "查询完毕") << "the nested logout did not detach the session";
}
