// Reconciliation's decisions on a list of today's orders: which row an
// unknown order is, when it is not found, and when the service cannot tell.
#include <gtest/gtest.h>

#include <map>

#include "rules/reconciliation.h"

namespace zelvo_host {
namespace {

constexpr char today[] = "2025-06-30";
constexpr std::int64_t sentMs = 1751250000000;

Table todaysOrders(std::vector<std::vector<std::string>> rows)
{
    return {{"委托时间", "证券代码", "证券名称", "买卖标志", "委托价格", "委托数量", "成交数量", "委托编号", "状态说明"},
            std::move(rows)};
}

std::vector<std::string> row(const std::string& code, const std::string& side, const std::string& price,
                             const std::string& quantity, const std::string& number)
{
    return {"09:31:05", code, "", side, price, quantity, "0", number, "已报"};
}

OrderRecord unknownOrder(const std::string& id, const std::string& kind, const std::string& code, double price,
                         int quantity, std::int64_t seq = 10)
{
    OrderRecord record;
    record.orderId = id;
    record.kind = kind;
    record.code = code;
    record.price = price;
    record.quantity = quantity;
    record.seq = seq;
    record.sentSteadyMs = sentMs;
    record.time = std::string(today) + "T09:31:04.000";
    return record;
}

// One reconciliation of `chosen` (every one of them unknown today) against `table`.
struct Reconciliation {
    explicit Reconciliation(Table listed) : table(std::move(listed)) {}

    Table table;
    std::vector<const OrderRecord*> unknown;
    std::vector<int> claimed;
    std::map<int, std::int64_t> seen;
    std::int64_t nowMs = sentMs + 20000;

    std::vector<Reconciled> of(const std::vector<const OrderRecord*>& chosen) const
    {
        ReconcileInput input;
        input.table = &table;
        input.today = today;
        input.steadyNowMs = nowMs;
        input.settleMs = 10000;
        input.unknownToday = unknown.empty() ? chosen : unknown;
        input.claimed = claimed;
        input.firstSeen = [this](int number) -> std::optional<std::int64_t> {
            const auto found = seen.find(number);
            return found == seen.end() ? std::nullopt : std::optional<std::int64_t>(found->second);
        };
        return reconcile(chosen, input);
    }
};

TEST(Reconciliation, TheOneRowOfTheSameOrderIsItsContract)
{
    const OrderRecord order = unknownOrder("a", "buy", "600000", 10.5, 1000);
    Reconciliation run{todaysOrders({row("600000", "买入", "10.500", "1,000", "1001"), row("600000", "卖出", "10.500", "1000", "1002"),
                          row("600000", "买入", "10.510", "1000", "1003"), row("600001", "买入", "10.500", "1000", "1004"),
                          row("600000", "买入", "10.500", "900", "1005")})};
    const Reconciled result = run.of({&order}).at(0);
    EXPECT_EQ(result.outcome, Outcome::Placed);
    EXPECT_EQ(result.contract, 1001);
    EXPECT_TRUE(result.candidates.empty());
}

TEST(Reconciliation, ASideTheListDoesNotShowMatchesEitherWay)
{
    const OrderRecord order = unknownOrder("a", "sell", "600000", 10.5, 100);
    Reconciliation run{todaysOrders({row("600000", "撤单", "10.5", "100", "1001")})};
    EXPECT_EQ(run.of({&order}).at(0).contract, 1001);
}

TEST(Reconciliation, RowsSeenBeforeTheOrderOrHeldByAnotherRecordAreNotCandidates)
{
    const OrderRecord order = unknownOrder("a", "buy", "600000", 10.5, 100, 10);
    Reconciliation run{todaysOrders({row("600000", "买入", "10.5", "100", "901"), row("600000", "买入", "10.5", "100", "1001"),
                          row("600000", "买入", "10.5", "100", "1002")})};
    run.seen = {{901, 3}, {1002, 12}};  // 901 listed before the order was sent; 1002 after
    run.claimed = {1001};
    const Reconciled result = run.of({&order}).at(0);
    EXPECT_EQ(result.outcome, Outcome::Placed);
    EXPECT_EQ(result.contract, 1002);
}

TEST(Reconciliation, SeveralFittingRowsLeaveItUnknownWithThemAll)
{
    const OrderRecord order = unknownOrder("a", "buy", "600000", 10.5, 100);
    Reconciliation run{todaysOrders({row("600000", "买入", "10.5", "100", "1001"), row("600000", "买入", "10.500", "100", "1002")})};
    const Reconciled result = run.of({&order}).at(0);
    EXPECT_EQ(result.outcome, Outcome::Unknown);
    EXPECT_TRUE(result.ambiguous);
    ASSERT_EQ(result.candidates.size(), 2u);
    EXPECT_EQ(result.candidates[0]["number"], 1001);
    EXPECT_EQ(result.candidates[1]["row"]["委托价格"], "10.500");
}

TEST(Reconciliation, ARowAnotherUnknownOrderCouldBeIsGivenToNeither)
{
    const OrderRecord first = unknownOrder("a", "buy", "600000", 10.5, 100, 10);
    const OrderRecord second = unknownOrder("b", "buy", "600000", 10.5, 100, 11);
    Reconciliation run{todaysOrders({row("600000", "买入", "10.5", "100", "1001")})};
    run.unknown = {&first, &second};
    const std::vector<Reconciled> results = run.of({&first});
    EXPECT_EQ(results.at(0).outcome, Outcome::Unknown);
    EXPECT_TRUE(results.at(0).ambiguous);
    EXPECT_NE(results.at(0).note.find("order_id b"), std::string::npos);
}

TEST(Reconciliation, NoRowIsNotFoundOnlyOnceTheSettleTimeHasPassed)
{
    const OrderRecord order = unknownOrder("a", "buy", "600000", 10.5, 100);
    Reconciliation run{todaysOrders({row("600001", "买入", "10.5", "100", "1001")})};
    run.nowMs = sentMs + 9999;
    EXPECT_EQ(run.of({&order}).at(0).outcome, Outcome::Unknown);
    run.nowMs = sentMs + 10000;
    EXPECT_EQ(run.of({&order}).at(0).outcome, Outcome::NotFound);
}

TEST(Reconciliation, AListWithoutAColumnItMatchesOnNeverMakesItNotFound)
{
    const OrderRecord order = unknownOrder("a", "buy", "600000", 10.5, 100);
    Reconciliation run{{{"证券代码", "委托价格", "委托编号"}, {{"600001", "10.5", "1001"}}}};
    const Reconciled result = run.of({&order}).at(0);
    EXPECT_EQ(result.outcome, Outcome::Unknown);
    EXPECT_NE(result.note.find("quantity"), std::string::npos);
}

TEST(Reconciliation, AnOrderOfAnEarlierDayStaysUnknown)
{
    OrderRecord order = unknownOrder("a", "buy", "600000", 10.5, 100);
    order.time = "2025-06-27T14:59:00.000";
    Reconciliation run{todaysOrders({row("600000", "买入", "10.5", "100", "1001")})};
    const Reconciled result = run.of({&order}).at(0);
    EXPECT_EQ(result.outcome, Outcome::Unknown);
    EXPECT_NE(result.note.find("2025-06-27"), std::string::npos);
}

TEST(OrderLists, NumbersAreReadAsTheListsWriteThem)
{
    EXPECT_EQ(listedNumber(" 1,000 "), 1000.0);
    EXPECT_EQ(listedNumber("10.500"), 10.5);
    EXPECT_FALSE(listedNumber("10.5.0"));
    EXPECT_FALSE(listedNumber("-3"));
    EXPECT_FALSE(listedNumber(""));
    EXPECT_FALSE(listedNumber("没有相应的查询信息!"));
}

}  // namespace
}  // namespace zelvo_host
