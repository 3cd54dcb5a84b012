// The snapshot of the trading state a start writes beside the journal: the
// state read back from it is the one the journal built, with its steady
// times moved to the reading process's clock, and bytes that are not a
// snapshot of this format give none.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "rules/trading_state.h"

namespace zelvo_host {
namespace {

constexpr std::int64_t wall = 1751247000000;  // 2025-06-30 09:30 local in the lines' "time"
constexpr std::int64_t steady = 7000000;

Json line(std::int64_t seq, const std::string& time, Json event, std::int64_t epochMs = wall)
{
    event["seq"] = seq;
    event["time"] = time;
    event["epoch_ms"] = epochMs;
    return event;
}

Json orderOf(const std::string& id, const std::string& code)
{
    return {{"kind", "buy"}, {"code", code}, {"price", 10.5}, {"quantity", 100}, {"order_id", id}};
}

// Two days of orders, one of today's without its answer, cancels, the
// numbers seen, changed limits, a halt, a fired switch with a failed try
// and the switch armed again.
TradingState aDayOfTrading()
{
    TradingState state;
    const ClockPair clocks{wall, steady};
    std::int64_t seq = 0;
    auto apply = [&](const std::string& time, Json entry, std::int64_t at) {
        (void)applyJournalLine(state, dumpJson(line(++seq, time, std::move(entry), at)), clocks);
    };
    apply("2025-06-29T10:00:00.000", entries::orderRequest(orderOf("yesterday", "600000"), "yesterday", true), wall - 86400000);
    (void)applyJournalLine(state, dumpJson(line(seq, "2025-06-29T10:00:00.000",
                                                entries::answer(200, {{"outcome", "placed"}, {"contract", 1001}, {"message", "ok"}}),
                                                wall - 86400000)),
                           clocks);
    apply("2025-06-30T09:00:00.000", entries::orderRequest(orderOf("today", "510300"), "today", true), wall - 1800000);
    apply("2025-06-30T09:01:00.000", entries::orderRequest(orderOf("awaiting", "600036"), "awaiting", true), wall - 1740000);
    apply("2025-06-30T09:02:00.000", entries::cancelRequest(1001, "600000", true), wall - 1680000);
    apply("2025-06-30T09:03:00.000", entries::seen({{2001, "510300"}, {2002, "600036"}}), wall - 1620000);
    Limits limits;
    limits.maxOrdersPerDay = 42;
    limits.allowedCodes = std::vector<std::string>{"600000", "510300"};
    apply("2025-06-30T09:04:00.000", entries::limits(limits, "request"), wall - 1560000);
    apply("2025-06-30T09:10:00.000", entries::switchFired(30), wall - 1200000);
    apply("2025-06-30T09:10:00.000", entries::halt("dead man's switch", "switch"), wall - 1200000);
    apply("2025-06-30T09:10:01.000", entries::cancel({2001, "510300"}, CancelBy::Switch, true, "ok"), wall - 1199000);
    apply("2025-06-30T09:10:02.000", entries::switchCancels(1, false, false, "交易客户端无响应"), wall - 1198000);
    apply("2025-06-30T09:29:00.000", entries::switchArmed(120, wall + 60000), wall - 60000);
    apply("2025-06-30T09:29:00.000", entries::start("1.0.0", 1, 3), wall - 60000);
    return state;
}

TEST(StateSnapshot, TheStateReadBackIsTheOneTheJournalBuiltOnTheReadersClock)
{
    const TradingState built = aDayOfTrading();
    const std::string written = built.snapshot(ClockPair{wall, steady});
    // Read by a process whose steady clock reads 500 half a minute later.
    const ClockPair later{wall + 30000, 500};
    const std::optional<TradingState> read = TradingState::fromSnapshot(written, later);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->snapshot(later), written);

    EXPECT_EQ(read->nextSeq(), built.nextSeq());
    EXPECT_EQ(read->record("yesterday")->contract, 1001);
    EXPECT_EQ(read->record("awaiting")->outcome, Outcome::Unknown);
    EXPECT_EQ(read->orderCounts("2025-06-30", later.steadyOf(wall)).today, 2);
    EXPECT_EQ(read->cancelsOf("2025-06-30", "600000"), 1);
    EXPECT_EQ(read->seen("2025-06-30", 2002)->code, "600036");
    EXPECT_EQ(read->limits().maxOrdersPerDay, 42);
    EXPECT_EQ(read->halt().reason, "dead man's switch");
    EXPECT_EQ(read->switchFiring().cancelled, (std::set<int>{2001}));
    EXPECT_EQ(read->switchFiring().attempts, 1);
    EXPECT_EQ(read->reportedDamage(), (std::set<std::int64_t>{3}));
    // The switch armed at 09:29 for 120 s fires at 09:31, 30 s after the read.
    EXPECT_FALSE(switchDue(*read, 500 + 29999));
    EXPECT_TRUE(switchDue(*read, 500 + 30000));

    // The lines after the snapshot go on where it ends: the answer of the order awaiting one.
    TradingState going = *read;
    going.apply(line(3, "2025-06-30T09:31:00.000", entries::answer(200, {{"outcome", "placed"}, {"contract", 2002}})), 600);
    EXPECT_EQ(going.record("awaiting")->contract, 2002);
}

TEST(StateSnapshot, BytesOfAnotherFormatOrCutShortAreNoSnapshot)
{
    const ClockPair clocks{wall, steady};
    const std::string written = aDayOfTrading().snapshot(clocks);
    ASSERT_TRUE(TradingState::fromSnapshot(written, clocks));
    EXPECT_FALSE(TradingState::fromSnapshot("", clocks));
    std::string other = written;
    other[0] = '\2';
    EXPECT_FALSE(TradingState::fromSnapshot(other, clocks));
    EXPECT_FALSE(TradingState::fromSnapshot(written.substr(0, written.size() - 1), clocks));
    EXPECT_FALSE(TradingState::fromSnapshot(written.substr(0, written.size() / 2), clocks));
    EXPECT_FALSE(TradingState::fromSnapshot(written + "x", clocks));
}

}  // namespace
}  // namespace zelvo_host
