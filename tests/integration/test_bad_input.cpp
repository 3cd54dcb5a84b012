// Inputs a caller should never pass, each with a defined answer and no
// crash: null pointers, huge and malformed codes, non-finite prices and the
// extreme integers.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

#include "editions.h"
#include "zelvo_library.h"

using substitute::Broker;
using substitute::Client;
using substitute::editionClient;

namespace {

const std::string notSupported = "不支持";
const std::string noSuchOrder = "委托不存在";

}  // namespace

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
