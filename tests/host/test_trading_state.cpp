// The trading state as the journal's entries build it: what one entry
// changes, and what a journal of an older service or a cut-off one gives.
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "rules/trading_state.h"

namespace zelvo_host {
namespace {

constexpr std::int64_t nineThirty = 1751247000000;  // any instant; the dates come from "time"

Json line(std::int64_t seq, const std::string& time, Json event, std::int64_t epochMs = nineThirty)
{
    event["seq"] = seq;
    event["time"] = time;
    event["epoch_ms"] = epochMs;
    return event;
}

const Json order = {{"kind", "buy"}, {"code", "600000"}, {"price", 10.5}, {"quantity", 100}, {"order_id", "a"}};

Json placedAnswer(int contract)
{
    Json answer = order;
    answer["ok"] = true;
    answer["outcome"] = "placed";
    answer["contract"] = contract;
    answer["message"] = "ok";
    return entries::answer(200, answer);
}

TEST(TradingState, AnOrderSentIsUnknownUntilItsAnswer)
{
    TradingState state;
    state.apply(line(1, "2025-06-30T09:30:00.000", entries::orderRequest(order, "a", true)));
    ASSERT_NE(state.record("a"), nullptr);
    EXPECT_EQ(state.record("a")->outcome, Outcome::Unknown);
    EXPECT_EQ(state.unknownCount(), 1);
    state.apply(line(1, "2025-06-30T09:30:00.050", placedAnswer(1001)));
    EXPECT_EQ(state.record("a")->outcome, Outcome::Placed);
    EXPECT_EQ(state.record("a")->contract, 1001);
    EXPECT_EQ(state.seen("2025-06-30", 1001)->code, "600000");
    EXPECT_EQ(state.nextSeq(), 2);
}

TEST(TradingState, RepeatsAndRefusalsMakeNoRecordAndChangeNone)
{
    TradingState state;
    state.apply(line(1, "2025-06-30T09:30:00.000", entries::orderRequest(order, "a", true)));
    state.apply(line(1, "2025-06-30T09:30:00.050", placedAnswer(1001)));
    state.apply(line(2, "2025-06-30T09:30:01.000", entries::orderRequest(order, "a", false)));
    state.apply(line(2, "2025-06-30T09:30:01.010", entries::answer(200, {{"outcome", "refused"}, {"contract", -1}})));
    state.apply(line(3, "2025-06-30T09:30:02.000", entries::orderRequest(order, "b", false)));
    state.apply(line(3, "2025-06-30T09:30:02.010", entries::answer(422, {{"error", "risk_limit"}})));
    EXPECT_EQ(state.record("a")->contract, 1001);
    EXPECT_EQ(state.record("b"), nullptr);
    EXPECT_EQ(state.recordsOf("2025-06-30").size(), 1u);
}

TEST(TradingState, AnOlderJournalWithoutSendsMarksStillGivesItsRecords)
{
    TradingState state;
    Json request = entries::orderRequest(order, "", true);
    request.erase("sends");
    state.apply(line(1, "2025-06-30T09:30:00.000", request));
    state.apply(line(1, "2025-06-30T09:30:00.050", placedAnswer(1001)));
    state.apply(line(2, "2025-06-30T09:30:01.000", request));  // its repeat
    ASSERT_NE(state.record("a"), nullptr);
    EXPECT_EQ(state.record("a")->contract, 1001);
    EXPECT_EQ(state.recordsOf("2025-06-30").size(), 1u);
}

TEST(TradingState, CountsAreOfTheirDayAndWindow)
{
    TradingState state;
    for (int seq = 1; seq <= 3; ++seq) {
        Json unnamed = order;
        unnamed.erase("order_id");
        const std::string date = seq == 1 ? "2025-06-27" : "2025-06-30";
        state.apply(line(seq, date + "T09:30:00.000", entries::orderRequest(unnamed, serviceOrderId(date, seq), true),
                         nineThirty + seq * 5000));
    }
    state.apply(line(4, "2025-06-27T10:00:00.000", entries::cancelRequest(1001, "600000", true)));
    state.apply(line(5, "2025-06-30T10:00:00.000", entries::cancelRequest(1002, "600000", true)));
    state.apply(line(6, "2025-06-30T10:00:01.000", entries::cancelRequest(1003, "600000", false)));
    const OrderCounts counts = state.orderCounts("2025-06-30", nineThirty + 15000 + 10000 - 1);
    EXPECT_EQ(counts.today, 2);
    EXPECT_EQ(counts.inWindow, 1);  // the order of 10 s before is out of the window
    EXPECT_EQ(state.cancelsOf("2025-06-30", "600000"), 1);
    EXPECT_EQ(state.record("auto-20250627-1")->date(), "2025-06-27");
}

// A wall clock stepped forward across midnight and back: the 30th's records
// lie on both sides of the 1st's, and all of them are the 30th's.
TEST(TradingState, ADayIsCountedWhereverItsEntriesLieInTheJournal)
{
    TradingState state;
    const std::vector<std::string> times = {"2025-06-30T23:59:58.000", "2025-07-01T00:00:01.000",
                                            "2025-06-30T23:59:59.000"};
    std::int64_t seq = 0;
    for (const std::string& time : times) {
        Json unnamed = order;
        unnamed.erase("order_id");
        ++seq;
        state.apply(line(seq, time, entries::orderRequest(unnamed, serviceOrderId(time.substr(0, 10), seq), true)));
        const int contract = static_cast<int>(1000 + seq);
        state.apply(line(seq, time, placedAnswer(contract)));
        ++seq;
        state.apply(line(seq, time, entries::cancelRequest(contract, "600000", true)));
    }
    EXPECT_EQ(state.orderCounts("2025-06-30", nineThirty).today, 2);
    EXPECT_EQ(state.orderCounts("2025-07-01", nineThirty).today, 1);
    EXPECT_EQ(state.cancelsOf("2025-06-30", "600000"), 2);
    EXPECT_EQ(state.cancelCounts("2025-07-01").at("600000"), 1);
    EXPECT_TRUE(state.seen("2025-06-30", 1001));
    EXPECT_TRUE(state.seen("2025-06-30", 1005));
    EXPECT_FALSE(state.seen("2025-06-30", 1003));
}

// The wall clock stepped forward an hour between two orders: both were sent
// within the last two seconds, which only the steady clock shows.
TEST(TradingState, TheRateWindowRunsOnTheSteadyClock)
{
    constexpr std::int64_t steady = 7000000;
    TradingState state;
    state.apply(line(1, "2025-06-30T09:30:00.000", entries::orderRequest(order, "a", true), nineThirty), steady);
    Json other = order;
    other["order_id"] = "b";
    state.apply(line(2, "2025-06-30T10:30:01.000", entries::orderRequest(other, "b", true), nineThirty + 3601000),
                steady + 1000);
    EXPECT_EQ(state.orderCounts("2025-06-30", steady + 2000).inWindow, 2);
    EXPECT_EQ(state.orderCounts("2025-06-30", steady + 10500).inWindow, 1);
    // An order whose steady time is still to come (its wall time was ahead) is not counted yet.
    EXPECT_EQ(state.orderCounts("2025-06-30", steady + 500).inWindow, 1);
}

TEST(TradingState, TheSwitchCountsDownOnTheSteadyClockAndAfterARestartFromItsWallDeadline)
{
    constexpr std::int64_t steady = 7000000;
    TradingState state;
    state.apply(line(1, "2025-06-30T09:30:00.000", entries::switchArmed(60, nineThirty + 60000), nineThirty), steady);
    EXPECT_FALSE(switchDue(state, steady + 59999));
    EXPECT_TRUE(switchDue(state, steady + 60000));
    // Read back 20 s into the countdown by a service whose steady clock reads 100: 40 s are left.
    TradingState restarted;
    const std::string text = dumpJson(line(1, "2025-06-30T09:30:00.000", entries::switchArmed(60, nineThirty + 60000)));
    ASSERT_EQ(applyJournalLine(restarted, text, ClockPair{nineThirty + 20000, 100}), LineTaken::Applied);
    EXPECT_FALSE(switchDue(restarted, 100 + 39999));
    EXPECT_TRUE(switchDue(restarted, 100 + 40000));
}

TEST(TradingState, AFiredSwitchSCancelsStayOutstandingUntilATryIsDoneOrTheHaltIsLifted)
{
    constexpr std::int64_t steady = 7000000;
    TradingState state;
    state.apply(line(1, "2025-06-30T09:30:00.000", entries::switchFired(60)), steady);
    EXPECT_TRUE(state.switchFiring().outstanding);
    EXPECT_TRUE(switchRetryDue(state, steady));  // fired, not tried yet
    state.apply(line(2, "2025-06-30T09:30:00.000", entries::cancel({1001, "600000"}, CancelBy::Switch, true, "ok")), steady);
    state.apply(line(3, "2025-06-30T09:30:00.000", entries::cancel({1002, "600000"}, CancelBy::Switch, false, "no")), steady);
    state.apply(line(4, "2025-06-30T09:30:00.000", entries::cancel({1003, "600000"}, CancelBy::Caller, true, "ok")), steady);
    EXPECT_EQ(state.switchFiring().cancelled, (std::set<int>{1001}));
    state.apply(line(5, "2025-06-30T09:30:05.000", entries::switchCancels(1, false, false, "交易客户端无响应")), steady + 5000);
    EXPECT_EQ(state.switchFiring().attempts, 1);
    EXPECT_EQ(state.switchFiring().lastMessage, "交易客户端无响应");
    EXPECT_FALSE(switchRetryDue(state, steady + 6999));
    EXPECT_TRUE(switchRetryDue(state, steady + 7000));  // 2 s after the first try
    state.apply(line(6, "2025-06-30T09:30:07.000", entries::switchCancels(2, false, false, "")), steady + 7000);
    EXPECT_FALSE(switchRetryDue(state, steady + 10999));
    EXPECT_TRUE(switchRetryDue(state, steady + 11000));  // then 4 s
    // A halt's cancel-all is no try of the switch's.
    state.apply(line(7, "2025-06-30T09:30:08.000", entries::cancelAllDone(CancelBy::Halt, true, "")), steady + 8000);
    EXPECT_EQ(state.switchFiring().attempts, 2);
    state.apply(line(8, "2025-06-30T09:30:09.000", entries::switchCancels(3, true, true, "")), steady + 9000);
    EXPECT_FALSE(state.switchFiring().outstanding);
    EXPECT_FALSE(switchRetryDue(state, steady + 1000000));

    state.apply(line(9, "2025-06-30T09:31:00.000", entries::switchFired(60)), steady);
    EXPECT_TRUE(state.switchFiring().cancelled.empty());  // each firing cancels afresh
    state.apply(line(10, "2025-06-30T09:31:00.000", entries::resume()), steady);
    EXPECT_FALSE(state.switchFiring().outstanding);
    // One try was all a switch of an older service made.
    state.apply(line(11, "2025-06-30T09:32:00.000", entries::switchFired(60)), steady);
    state.apply(line(12, "2025-06-30T09:32:00.000", entries::cancelAllDone(CancelBy::Switch, false, "")), steady);
    EXPECT_FALSE(state.switchFiring().outstanding);
}

TEST(TradingState, DamageReportedByAStartOrAHaltIsKnown)
{
    TradingState state;
    state.apply(line(1, "2025-06-30T09:30:00.000", entries::start("1.0.0", 1, 7)));
    state.apply(line(2, "2025-06-30T09:30:00.000", entries::journalDamaged(9)));
    EXPECT_EQ(state.reportedDamage(), (std::set<std::int64_t>{7, 9}));
    EXPECT_EQ(state.halt().reason, "journal damaged at line 9");
    EXPECT_EQ(state.halt().by, "journal");
}

TEST(TradingState, HaltSwitchAndLimitsFollowTheirLastEntry)
{
    TradingState state;
    state.apply(line(1, "2025-06-30T09:30:00.000", entries::halt("news", "request")));
    state.apply(line(2, "2025-06-30T09:31:00.000", entries::halt("later", "request")));
    EXPECT_EQ(state.halt().reason, "later");  // the service writes no second halt; a journal's last one holds
    state.apply(line(3, "2025-06-30T09:32:00.000", entries::resume()));
    EXPECT_FALSE(state.halt().halted);
    state.apply(line(4, "2025-06-30T09:33:00.000", entries::switchArmed(60, nineThirty + 60000)));
    EXPECT_TRUE(state.deadMansSwitch().armed);
    EXPECT_EQ(state.deadMansSwitch().deadlineMs, nineThirty + 60000);
    state.apply(line(5, "2025-06-30T09:34:00.000", entries::switchFired(60)));
    EXPECT_FALSE(state.deadMansSwitch().armed);
    Limits limits;
    limits.maxOrdersPerDay = 7;
    state.apply(line(6, "2025-06-30T09:35:00.000", entries::limits(limits, "request")));
    EXPECT_EQ(state.limits().maxOrdersPerDay, 7);
}

TEST(TradingState, ReconciliationChangesOnlyAnUnknownRecord)
{
    TradingState state;
    state.apply(line(1, "2025-06-30T09:30:00.000", entries::orderRequest(order, "a", true)));
    Reconciled found;
    found.orderId = "a";
    found.outcome = Outcome::Placed;
    found.contract = 1005;
    found.note = "found";
    state.apply(line(2, "2025-06-30T09:31:00.000", entries::reconciled(found)));
    EXPECT_EQ(state.record("a")->contract, 1005);
    EXPECT_EQ(state.record("a")->reconciledAt, "2025-06-30T09:31:00.000");
    found.outcome = Outcome::NotFound;
    state.apply(line(3, "2025-06-30T09:32:00.000", entries::reconciled(found)));
    EXPECT_EQ(state.record("a")->outcome, Outcome::Placed);
}

TEST(TradingState, LinesOfOtherShapesChangeNothing)
{
    TradingState state;
    for (const char* text : {R"({"event": "request", "route": "orders", "request": 5})", R"({"event": "seen", "orders": 7})",
                             R"({"event": "answer", "seq": "x"})", R"({"event": "switch", "seconds": "60"})",
                             R"({"event": "limits", "limits": {"max_orders_per_day": -1}})", R"({"event": "unknown"})"}) {
        EXPECT_NO_THROW(state.apply(Json::parse(text))) << text;
    }
    EXPECT_FALSE(state.deadMansSwitch().armed);
    EXPECT_EQ(state.limits().maxOrdersPerDay, Limits{}.maxOrdersPerDay);
}

// Numbers no service writes, from a damaged or edited journal (both found by
// fuzz/fuzz_journal_lines.cpp).
TEST(TradingState, NumbersBeyondTheirRangeNeitherDisarmTheSwitchNorOverflowTheSequence)
{
    TradingState state;
    state.apply(line(1, "2025-06-30T09:30:00.000", entries::switchArmed(60, nineThirty)));
    Json armed = line(2, "2025-06-30T09:31:00.000", entries::switchArmed(60, nineThirty));
    armed["seconds"] = 60751247060001LL;
    state.apply(armed);
    EXPECT_TRUE(state.deadMansSwitch().armed);
    EXPECT_GT(state.deadMansSwitch().seconds, 0);
    EXPECT_EQ(applyJournalLine(state, R"({"event": "start", "seq": 9223372036854775807})"), LineTaken::Applied);
    EXPECT_EQ(state.nextSeq(), INT64_MAX);
    EXPECT_EQ(applyJournalLine(state, R"({"event": "start", "seq": 5})"), LineTaken::Applied);
    EXPECT_EQ(state.nextSeq(), INT64_MAX);
    EXPECT_EQ(applyJournalLine(state, R"({"event": "answ)"), LineTaken::Damaged);
    EXPECT_EQ(applyJournalLine(state, ""), LineTaken::Empty);
}

}  // namespace
}  // namespace zelvo_host
