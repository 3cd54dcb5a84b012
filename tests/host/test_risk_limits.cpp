// The limits' reader (the limits file and PUT /v1/limits share it) and the checks
// of an order and a cancel against them.
#include <gtest/gtest.h>

#include "rules/risk_limits.h"

namespace zelvo_host {
namespace {

TEST(RiskLimits, MembersGivenReplaceTheirsAndTheOthersStay)
{
    Limits limits;
    EXPECT_EQ(readLimits(Json::parse(R"({"max_orders_per_day": 50, "allowed_codes": ["600000"]})"), limits), "");
    EXPECT_EQ(limits.maxOrdersPerDay, 50);
    EXPECT_EQ(limits.maxOrdersPerWindow, 20);
    ASSERT_TRUE(limits.allowedCodes);
    EXPECT_EQ(*limits.allowedCodes, std::vector<std::string>{"600000"});
    EXPECT_EQ(readLimits(Json::parse(R"({"allowed_codes": null})"), limits), "");
    EXPECT_FALSE(limits.allowedCodes);
}

TEST(RiskLimits, AWrongMemberIsNamedAndNothingChanges)
{
    for (const char* given : {R"({"max_orders_per_day": 0})", R"({"max_orders_per_day": 1.5})",
                              R"({"max_orders_per_day": 10, "window_seconds": "10"})", R"({"max_order_value": 0})",
                              R"({"allowed_codes": ["60 0000"]})", R"({"settle_seconds": 3601})",
                              R"({"max_orders_per_day": 18446744073709551615})"}) {
        Limits limits;
        const std::string problem = readLimits(Json::parse(given), limits);
        EXPECT_NE(problem, "") << given;
        const std::string named = Json::parse(given).items().begin().key();
        EXPECT_TRUE(problem.find(named) != std::string::npos || problem.find("window_seconds") != std::string::npos)
            << problem;
        EXPECT_EQ(limitsJson(limits), limitsJson(Limits{})) << given;
    }
    Limits limits;
    EXPECT_EQ(readLimits(Json::parse(R"({"max_order": 5})"), limits), "unknown limit: max_order");
    EXPECT_NE(readLimits(Json::parse("[1]"), limits), "");
}

TEST(RiskLimits, WhatIsWrittenReadsBackTheSame)
{
    Limits limits;
    limits.maxOrderValue = 1234.5;
    limits.allowedCodes = std::vector<std::string>{"600000", "000001"};
    limits.settleSeconds = 3;
    Limits read;
    EXPECT_EQ(readLimits(limitsJson(limits), read), "");
    EXPECT_EQ(limitsJson(read), limitsJson(limits));
}

TEST(RiskLimits, EachOrderLimitRefusesAtItsValue)
{
    Limits limits;
    limits.maxOrderQuantity = 1000;
    limits.maxOrderValue = 10000;
    limits.allowedCodes = std::vector<std::string>{"600000"};
    EXPECT_FALSE(checkOrder(limits, "600000", 10.0, 1000, {499, 19}));
    EXPECT_EQ(checkOrder(limits, "600001", 1.0, 1, {})->limit, "allowed_codes");
    EXPECT_EQ(checkOrder(limits, "600000", 1.0, 1001, {})->limit, "max_order_quantity");
    EXPECT_EQ(checkOrder(limits, "600000", 10.01, 1000, {})->limit, "max_order_value");
    const std::optional<RiskRefusal> day = checkOrder(limits, "600000", 1.0, 1, {500, 0});
    EXPECT_EQ(day->limit, "max_orders_per_day");
    EXPECT_EQ(day->current, 500);
    EXPECT_EQ(checkOrder(limits, "600000", 1.0, 1, {20, 20})->limit, "max_orders_per_window");
}

TEST(RiskLimits, CancelsOfACodeStopAtTheirLimit)
{
    Limits limits;
    limits.maxCancelsPerCodePerDay = 2;
    EXPECT_FALSE(checkCancel(limits, "600000", 1));
    EXPECT_EQ(checkCancel(limits, "600000", 2)->value, 2);
}

}  // namespace
}  // namespace zelvo_host
