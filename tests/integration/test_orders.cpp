// Placing orders: the texts written into the order pages, the page and
// control set of every kind, the chain of pop-ups the client answers with,
// the password dialog, the contract number, and the bounded waits.
#include <gtest/gtest.h>

#include <climits>
#include <thread>

#include "editions.h"
#include "zelvo_library.h"

using substitute::Broker;
using substitute::Client;
using substitute::editionClient;
using substitute::OrderScript;
using substitute::OrderTicket;
using substitute::PopupSetup;

namespace {

using Steps = std::vector<std::string>;

const Steps confirmedOrder = {"click 2010", "open 交易确认", "click 7015", "open 提示", "click 7015"};
const Steps confirmedCreditOrder = {"click 196", "open 交易确认", "click 7015", "open 提示", "click 7015"};

std::string successText(int contract)
{
    return "委托已成功提交，合同号是" + std::to_string(contract) + "。";
}

OrderTicket lastTicket(Client& client)
{
    const std::vector<OrderTicket> tickets = client.orders().tickets();
    return tickets.empty() ? OrderTicket{} : tickets.back();
}

std::string editText(Client& client, const std::string& caption, int id)
{
    char text[256] = {};
    GetDlgItemTextA(client.page(caption), id, text, sizeof text);
    return text;
}

PopupSetup popup(const std::string& title, const std::string& message, bool withButton = true)
{
    PopupSetup setup;
    setup.title = title;
    setup.message = message;
    setup.withPromptButton = withButton;
    return setup;
}

// Places a default order and expects the client's success with its number.
void expectNormalOrder(Client& client, ZelvoLibrary& zelvo)
{
    const OrderAnswer answer = zelvo.order(0, "600000", 10.5, 100);
    EXPECT_EQ(answer.contract, lastTicket(client).contract);
    EXPECT_EQ(answer.message, successText(answer.contract));
}

}  // namespace

TEST(Orders, EveryKindOnItsPageWithItsTexts)
{
    Client client(editionClient(Broker::Zhaoshang, false));
    ZelvoLibrary zelvo;
    EXPECT_EQ(zelvo.order(0, "600000", 1.0, 100).message, "未登录");
    ASSERT_TRUE(zelvo.login().attached);

    struct Case {
        int kind;
        const char* page;
        const char* code;
        double price;
        int quantity;
        const char* priceText;
        const char* quantityText;
        const Steps& steps;
    };
    const Case cases[] = {
        {0, "买入", "159915", 2.5, 100, "2.500", "100", confirmedOrder},
        {1, "卖出", "600000", 10.1, 200, "10.10", "200", confirmedOrder},
        {2, "融资买入", "510300", 2.5, 300, "2.500", "300", confirmedCreditOrder},
        {3, "融券卖出", "", 10.1, -100, "10.10", "-100", confirmedCreditOrder},
        {4, "买券还券", "000001", 8, 1000, "8.00", "1000", confirmedCreditOrder},
        {5, "卖券还款", "123456", 1.5, 0, "1.500", "0", confirmedCreditOrder},
        {6, "现券还券", "300750", 188.8, 50, "188.80", "50", confirmedCreditOrder},
    };
    for (const Case& order : cases) {
        const OrderAnswer answer = zelvo.order(order.kind, order.code, order.price, order.quantity);
        const OrderTicket ticket = lastTicket(client);
        EXPECT_EQ(ticket.page, order.page) << "kind " << order.kind;
        EXPECT_EQ(ticket.code, order.code) << "kind " << order.kind;
        EXPECT_EQ(ticket.price, order.priceText) << "kind " << order.kind;
        EXPECT_EQ(ticket.quantity, order.quantityText) << "kind " << order.kind;
        EXPECT_EQ(ticket.steps, order.steps) << "kind " << order.kind;
        EXPECT_GT(ticket.contract, 0);
        EXPECT_EQ(answer.contract, ticket.contract) << "kind " << order.kind;
        EXPECT_EQ(answer.message, successText(ticket.contract));
    }
    ASSERT_EQ(client.orders().tickets().size(), 7u);

    for (int kind : {7, -1}) {
        const HWND stray = client.openPopup(popup("提示", "旧消息"));
        const OrderAnswer answer = zelvo.order(kind, "600000", 10.0, 100);
        EXPECT_EQ(answer.contract, -1);
        EXPECT_EQ(answer.message, "不支持");
        EXPECT_FALSE(IsWindow(stray)) << "stray pop-ups are closed before the kind is looked at";
    }
    EXPECT_EQ(client.orders().tickets().size(), 7u) << "an unsupported kind clicks nothing";
}

TEST(Orders, CreditAccountsUseTheirEditionsPagesAndControls)
{
    struct Case {
        int kind;
        const char* page;
        const char* click;
    };
    const struct {
        Broker broker;
        std::vector<Case> cases;
    } editions[] = {
        {Broker::Zhongxin, {{0, "担保品买入", "click 2010"}, {1, "担保品卖出", "click 2010"}, {5, "卖券还款", "click 196"}}},
        // This edition's credit accounts have the credit controls on the buy and sell pages too.
        {Broker::Qilu, {{0, "买入", "click 196"}, {1, "卖出", "click 196"}, {6, "现券还券", "click 196"}}},
    };
    for (const auto& edition : editions) {
        Client client(editionClient(edition.broker, true));
        ZelvoLibrary zelvo;
        ASSERT_TRUE(zelvo.login().attached);
        for (const Case& order : edition.cases) {
            const OrderAnswer answer = zelvo.order(order.kind, "600000", 10.0, 100);
            const OrderTicket ticket = lastTicket(client);
            EXPECT_EQ(ticket.page, order.page) << zelvo.broker() << " kind " << order.kind;
            ASSERT_FALSE(ticket.steps.empty()) << answer.message;
            EXPECT_EQ(ticket.steps.front(), order.click) << zelvo.broker() << " kind " << order.kind;
            EXPECT_EQ(answer.contract, ticket.contract) << answer.message;
        }
    }
}

TEST(Orders, ContractNumberFromTheFinalPrompt)
{
    Client client(editionClient(Broker::Huatai, false));
    ZelvoLibrary zelvo;
    ASSERT_TRUE(zelvo.login().attached);
    const struct {
        const char* text;
        int contract;
    } prompts[] = {
        {"委托成功，合同号是：第12345号", 12345},
        {"2024年委托成功,合同号是77,请查询", 77},
        {"委托已受理,合同号是待定", 0},
        {"委托已受理,请稍后查询", -1},
        {"委托成功,合同号是99999999999", 0},
    };
    for (const auto& prompt : prompts) {
        OrderScript script;
        script.finalText = prompt.text;
        client.orders().setScript(script);
        const OrderAnswer answer = zelvo.order(1, "600000", 10.0, 100);
        EXPECT_EQ(answer.contract, prompt.contract) << prompt.text;
        EXPECT_EQ(answer.message, prompt.text) << "the client's whole text";
        EXPECT_EQ(lastTicket(client).steps, confirmedOrder) << prompt.text;
    }
}

TEST(Orders, PopupChainVariants)
{
    Client client(editionClient(Broker::Guoxin, false));
    ZelvoLibrary zelvo;
    ASSERT_TRUE(zelvo.login("123456").attached);

    OrderScript refusal;
    refusal.confirms = false;
    refusal.finalText = "可用资金不足";
    client.orders().setScript(refusal);
    OrderAnswer answer = zelvo.order(0, "600000", 10.0, 100);
    EXPECT_EQ(answer.contract, -1);
    EXPECT_EQ(answer.message, "可用资金不足");
    EXPECT_EQ(lastTicket(client).steps, (Steps{"click 2010", "open 提示", "click 7015"})) << "nothing is confirmed";

    OrderScript nearPassword;
    nearPassword.finalTitle = "密码确认提示";
    nearPassword.finalText = "委托价格偏离行情,已拒绝";
    client.orders().setScript(nearPassword);
    answer = zelvo.order(0, "600000", 10.0, 100);
    EXPECT_EQ(answer.contract, -1);
    EXPECT_EQ(answer.message, "委托价格偏离行情,已拒绝") << "only the exact title is the password dialog";
    EXPECT_EQ(lastTicket(client).steps,
              (Steps{"click 2010", "open 交易确认", "click 7015", "open 密码确认提示", "click 7015"}));

    OrderScript slowWithNotice;
    slowWithNotice.confirmationTitle = "交易确认 - 买入";
    slowWithNotice.noticeFirst = true;
    slowWithNotice.delayMs = 150;
    client.orders().setScript(slowWithNotice);
    answer = zelvo.order(0, "600000", 10.0, 100);
    const OrderTicket ticket = lastTicket(client);
    EXPECT_EQ(answer.contract, ticket.contract) << answer.message;
    EXPECT_EQ(answer.message, successText(ticket.contract));
    EXPECT_EQ(ticket.steps, (Steps{"click 2010", "open 提示", "gone 提示", "open 交易确认 - 买入", "click 7015",
                                   "open 提示", "click 7015"}))
        << "the notice without 7015 is left alone";
}

TEST(Orders, PasswordDialogGetsTheStoredPassword)
{
    Client client(editionClient(Broker::Guotai, false));
    ZelvoLibrary zelvo;
    ASSERT_TRUE(zelvo.login("135790").attached);
    for (bool checkedBefore : {true, false}) {
        OrderScript script;
        script.asksPassword = true;
        script.passwordBoxChecked = checkedBefore;
        client.orders().setScript(script);
        const OrderAnswer answer = zelvo.order(2, "600000", 10.0, 100);
        const OrderTicket ticket = lastTicket(client);
        EXPECT_EQ(answer.contract, ticket.contract) << answer.message;
        EXPECT_EQ(ticket.password, "135790");
        EXPECT_TRUE(ticket.passwordChecked) << "set, not toggled; checked before: " << checkedBefore;
        EXPECT_EQ(ticket.steps, (Steps{"click 196", "open 交易确认", "click 7015", "open 密码确认", "click 7021",
                                       "open 提示", "click 7015"}));
    }
}

TEST(Orders, PasswordDialogWithoutStoredPasswordIsLeftToThePerson)
{
    Client client(editionClient(Broker::Zhongjin, false));
    ZelvoLibrary zelvo;
    ASSERT_TRUE(zelvo.login("").attached);
    OrderScript script;
    script.asksPassword = true;
    client.orders().setScript(script);
    bool typed = false;
    std::thread person([&] {
        Sleep(1000);
        typed = client.orders().typePassword("246810", 10000);
    });
    const OrderAnswer answer = zelvo.order(0, "600000", 10.0, 100);
    person.join();
    ASSERT_TRUE(typed);
    const OrderTicket ticket = lastTicket(client);
    EXPECT_EQ(answer.contract, ticket.contract) << answer.message;
    EXPECT_EQ(ticket.password, "246810");
    EXPECT_FALSE(ticket.passwordChecked) << "the library did not touch the dialog";
}

TEST(Orders, StrayPopupsAreClosedBeforeTheOrder)
{
    Client client(editionClient(Broker::Huatai, false));
    ZelvoLibrary zelvo;
    ASSERT_TRUE(zelvo.login().attached);
    PopupSetup asking = popup("提示", "关闭前先问");
    asking.asksBeforeClosing = true;  // its question is closed in turn, then it closes
    const HWND strays[] = {client.openPopup(popup("提示", "旧消息,不带按钮", false)),
                           client.openPopup(popup("交易确认", "合同号是999")), client.openPopup(asking)};
    const ULONGLONG start = GetTickCount64();
    expectNormalOrder(client, zelvo);
    EXPECT_LT(GetTickCount64() - start, 4000u) << "a pop-up's own question holds nobody up";
    for (HWND stray : strays) {
        EXPECT_FALSE(IsWindow(stray));
    }

    PopupSetup stubborn = popup("提示", "关不掉");
    stubborn.refusesToClose = true;
    const HWND stays = client.openPopup(stubborn);
    const OrderAnswer answer = zelvo.order(0, "000002", 3.0, 900);
    EXPECT_EQ(answer.contract, -1);
    EXPECT_EQ(answer.message, "无法关闭客户端弹窗");
    EXPECT_EQ(client.orders().tickets().size(), 1u);
    EXPECT_EQ(editText(client, "买入", 12005), "600000") << "nothing is written";
    client.onUi([&] { DestroyWindow(stays); });
}

TEST(Orders, MissingControlWritesAndClicksNothing)
{
    Client client(editionClient(Broker::Zhaoshang, false));
    ZelvoLibrary zelvo;
    ASSERT_TRUE(zelvo.login().attached);
    const struct {
        int kind;
        const char* page;
        int missing;
        int present;
    } cases[] = {
        {0, "买入", 12005, 12006}, {1, "卖出", 12006, 12005}, {2, "融资买入", 315, 313}, {3, "融券卖出", 196, 313}};
    for (const auto& order : cases) {
        const HWND control = GetDlgItem(client.page(order.page), order.missing);
        ASSERT_NE(control, nullptr);
        client.onUi([&] { DestroyWindow(control); });
        const OrderAnswer answer = zelvo.order(order.kind, "600000", 10.0, 100);
        EXPECT_EQ(answer.contract, -1);
        EXPECT_EQ(answer.message, "下单页面控件缺失") << order.page;
        EXPECT_EQ(editText(client, order.page, order.present), "") << order.page;
    }
    EXPECT_TRUE(client.orders().tickets().empty());
}

// The three waits below each run into the 30 s bound once.

TEST(Orders, TimeoutWhenNoPopupFollowsTheClick)
{
    Client client(editionClient(Broker::Huatai, false));
    ZelvoLibrary zelvo;
    ASSERT_TRUE(zelvo.login().attached);
    OrderScript silent;
    silent.answers = false;
    client.orders().setScript(silent);
    const ULONGLONG start = GetTickCount64();
    const OrderAnswer answer = zelvo.order(0, "600000", 10.0, 100);
    const ULONGLONG waited = GetTickCount64() - start;
    EXPECT_EQ(answer.contract, -1);
    EXPECT_EQ(answer.message, "等待交易确认超时");
    EXPECT_GE(waited, 30000u);
    EXPECT_LT(waited, 35000u);
    EXPECT_EQ(lastTicket(client).steps, Steps{"click 2010"});

    client.orders().setScript({});
    expectNormalOrder(client, zelvo);
}

TEST(Orders, TimeoutWhenNoAnswerFollowsTheConfirmation)
{
    Client client(editionClient(Broker::Huatai, false));
    ZelvoLibrary zelvo;
    ASSERT_TRUE(zelvo.login().attached);
    OrderScript mute;
    mute.reports = false;
    client.orders().setScript(mute);
    const OrderAnswer answer = zelvo.order(0, "600000", 10.0, 100);
    EXPECT_EQ(answer.contract, -1);
    EXPECT_EQ(answer.message, "等待委托回报超时,委托结果未知");
    EXPECT_EQ(lastTicket(client).steps, (Steps{"click 2010", "open 交易确认", "click 7015"}));

    client.orders().setScript({});
    expectNormalOrder(client, zelvo);
}

// The password dialog left open past its bound is declined by the order
// itself: nobody can finish the order later. The answer still says the
// outcome is unknown, as every answer after the order click does that is not
// the client's final prompt.
TEST(Orders, TimeoutWhenThePasswordDialogStaysOpen)
{
    Client client(editionClient(Broker::Huatai, false));
    ZelvoLibrary zelvo;
    ASSERT_TRUE(zelvo.login("").attached);
    OrderScript script;
    script.asksPassword = true;
    client.orders().setScript(script);
    const OrderAnswer answer = zelvo.order(0, "600000", 10.0, 100);
    EXPECT_EQ(answer.contract, -1);
    EXPECT_EQ(answer.message, "等待密码确认超时");

    const Steps declined = {"click 2010", "open 交易确认", "click 7015", "open 密码确认", "close 密码确认"};
    const ULONGLONG start = GetTickCount64();
    while (lastTicket(client).steps.size() < declined.size() && GetTickCount64() - start < 2000) {
        Sleep(10);
    }
    EXPECT_EQ(lastTicket(client).steps, declined) << "declined before the next call";

    client.orders().setScript({});
    expectNormalOrder(client, zelvo);
    EXPECT_EQ(client.orders().tickets().size(), 2u);
}
