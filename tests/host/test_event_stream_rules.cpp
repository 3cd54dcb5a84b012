// The event stream's pure rules: the ring's resume after a Last-Event-ID, the
// events the journal's entries make, and what the polls of the client's lists
// find new.
#include <gtest/gtest.h>

#include "rules/client_watch.h"
#include "rules/event_ring.h"
#include "rules/journal_entries.h"
#include "rules/ledger_events.h"
#include "zelvo_answers.h"

namespace zelvo_host {
namespace {

std::vector<std::uint64_t> numbersOf(const Backlog& backlog)
{
    std::vector<std::uint64_t> numbers;
    for (const Event& event : backlog.events) {
        numbers.push_back(event.number);
    }
    return numbers;
}

// A ring of run "77" holding `capacity`, after `count` events.
EventRing ringOf(std::size_t capacity, int count)
{
    EventRing ring("77", capacity);
    for (int index = 0; index < count; ++index) {
        ring.append("halt", Json::object());
    }
    return ring;
}

TEST(EventRing, AResumeGetsWhatCameAfterItsLastIdAndNothingElse)
{
    const EventRing ring = ringOf(3, 3);
    const Backlog after = ring.after("77-1");
    EXPECT_FALSE(after.missed);
    EXPECT_EQ(numbersOf(after), (std::vector<std::uint64_t>{2, 3}));
    EXPECT_TRUE(ring.after("77-3").events.empty());
    EXPECT_FALSE(ring.after("77-3").missed);
}

TEST(EventRing, AnIdThatLeftTheRingOrIsOfAnotherRunSaysEventsWereMissed)
{
    const EventRing ring = ringOf(2, 4);
    const Backlog gone = ring.after("77-1");
    EXPECT_TRUE(gone.missed);
    EXPECT_EQ(numbersOf(gone), (std::vector<std::uint64_t>{3, 4}));
    EXPECT_FALSE(ring.after("77-2").missed);  // 3 is the oldest kept: nothing after 2 is lost
    for (const char* other : {"78-2", "7-2", "77-", "77-x", "77-9", "", "77-99999999999999999999"}) {
        const Backlog backlog = ring.after(other);
        EXPECT_TRUE(backlog.missed) << other;
        EXPECT_EQ(numbersOf(backlog), (std::vector<std::uint64_t>{3, 4})) << other;
    }
}

TEST(EventRing, AnEventIsOneIdOneKindAndOneDataLine)
{
    EventRing ring("5", 4);
    const Event& event = ring.append("client", {{"message", "line\nbreak"}});
    EXPECT_EQ(streamText(ring.idOf(event), event), "id: 5-1\nevent: client\ndata: {\"message\":\"line\\nbreak\"}\n\n");
}

Json line(Json event, std::int64_t seq)
{
    event["seq"] = seq;
    event["time"] = "2025-06-30T09:31:05.120";
    event["epoch_ms"] = 1751247065120;
    return event;
}

TEST(LedgerEvents, AnOrderSentIsToldWithItsOutcomeOnceAnswered)
{
    LedgerEvents events;
    const Json request = {{"kind", "buy"}, {"code", "600000"}, {"price", 10.5}, {"quantity", 100}};
    EXPECT_FALSE(events.of(line({{"event", "request"}, {"route", "orders"}, {"request", request}, {"order_id", "a1"}, {"sends", true}}, 7)));
    const std::optional<NamedEvent> told =
        events.of(line({{"event", "answer"}, {"status", 200}, {"answer", {{"outcome", "placed"}, {"contract", 1001}, {"message", "ok"}}}}, 7));
    ASSERT_TRUE(told);
    EXPECT_EQ(told->kind, "order");
    EXPECT_EQ(told->data["order_id"], "a1");
    EXPECT_EQ(told->data["outcome"], "placed");
    EXPECT_EQ(told->data["contract"], 1001);
    EXPECT_EQ(told->data["code"], "600000");
    EXPECT_EQ(told->data["epoch_ms"], 1751247065120);
    // The same answer again (a journal of odd lines) is no second event.
    EXPECT_FALSE(events.of(line({{"event", "answer"}, {"status", 200}, {"answer", Json::object()}}, 7)));
}

TEST(LedgerEvents, RefusalsOfTheHaltAndOfTheLimitsAreToldRepeatsAndCancelsAreNot)
{
    LedgerEvents events;
    const Json order = {{"kind", "buy"}, {"code", "600000"}, {"price", 10.5}, {"quantity", 100}};
    (void)events.of(line({{"event", "request"}, {"route", "orders"}, {"request", order}, {"sends", false}}, 1));
    const std::optional<NamedEvent> halted = events.of(line({{"event", "answer"}, {"status", 423}, {"answer", {{"message", "halted"}}}}, 1));
    ASSERT_TRUE(halted);
    EXPECT_EQ(halted->data["outcome"], "halted");
    EXPECT_EQ(halted->data["contract"], -1);
    (void)events.of(line({{"event", "request"}, {"route", "cancel"}, {"request", {{"number", 5}}}, {"sends", false}}, 2));
    const std::optional<NamedEvent> limit =
        events.of(line({{"event", "answer"}, {"status", 422}, {"answer", {{"limit", "max_cancels_per_code"}, {"value", 1}, {"current", 1}}}}, 2));
    ASSERT_TRUE(limit);
    EXPECT_EQ(limit->kind, "limit");
    EXPECT_EQ(limit->data["cancel"]["number"], 5);
    (void)events.of(line({{"event", "request"}, {"route", "orders"}, {"request", order}, {"order_id", "r"}, {"sends", false}}, 3));
    EXPECT_FALSE(events.of(line({{"event", "answer"}, {"status", 200}, {"answer", {{"replayed", true}}}}, 3)));
    (void)events.of(line({{"event", "request"}, {"route", "cancel"}, {"request", {{"number", 5}}}, {"sends", true}}, 4));
    EXPECT_FALSE(events.of(line({{"event", "answer"}, {"status", 200}, {"answer", {{"ok", true}}}}, 4)));
}

TEST(LedgerEvents, TheHaltTheResumeAndTheSwitchAreToldAsTheyHappen)
{
    LedgerEvents events;
    EXPECT_EQ(events.of(line({{"event", "halt"}, {"reason", "r"}, {"by", "switch"}}, 1))->data["by"], "switch");
    EXPECT_EQ(events.of(line({{"event", "resume"}}, 2))->kind, "resume");
    EXPECT_EQ(events.of(line({{"event", "switch"}, {"seconds", 30}, {"deadline_ms", 5}}, 3))->data["action"], "armed");
    EXPECT_EQ(events.of(line({{"event", "switch"}, {"seconds", 0}, {"deadline_ms", 0}}, 4))->data["action"], "disarmed");
    EXPECT_EQ(events.of(line({{"event", "switch_fired"}, {"seconds", 30}}, 5))->data["action"], "fired");
    EXPECT_FALSE(events.of(line({{"event", "seen"}, {"orders", Json::array()}}, 6)));
    EXPECT_FALSE(events.of(line({{"event", "limits"}}, 7)));
}

TEST(LedgerEvents, EachTryOfAFiredSwitchSCancelsIsToldAHaltSCancelAllIsNot)
{
    LedgerEvents events;
    const std::optional<NamedEvent> failed = events.of(line(entries::switchCancels(1, false, false, "交易客户端无响应"), 1));
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->kind, "switch");
    EXPECT_EQ(failed->data["action"], "cancels");
    EXPECT_EQ(failed->data["attempt"], 1);
    EXPECT_EQ(failed->data["done"], false);
    EXPECT_EQ(failed->data["message"], "交易客户端无响应");
    EXPECT_EQ(events.of(line(entries::switchCancels(2, true, true, "cancelled 2 of 2 orders"), 2))->data["done"], true);
    EXPECT_FALSE(events.of(line(entries::cancelAllDone(CancelBy::Halt, true, "cancelled 2 of 2 orders"), 3)));
}

Table trades(std::vector<std::vector<std::string>> rows, bool numbered = true)
{
    Table table;
    table.columns = numbered ? std::vector<std::string>{"成交时间", "证券代码", "成交数量", "成交编号"}
                             : std::vector<std::string>{"成交时间", "证券代码", "成交数量"};
    table.rows = std::move(rows);
    return table;
}

TEST(ClientWatch, TheFirstReadOfADayLearnsAndEachLaterTradeIsToldOnce)
{
    ClientWatch watch;
    EXPECT_TRUE(watch.trades(trades({{"09:45", "000001", "200", "50001"}}), "2025-06-30").empty());
    const auto later = trades({{"09:45", "000001", "200", "50001"}, {"10:01", "600000", "100", "50002"}});
    const std::vector<NamedEvent> told = watch.trades(later, "2025-06-30");
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].data["row"]["成交编号"], "50002");
    EXPECT_TRUE(watch.trades(later, "2025-06-30").empty());
    // A list the client could not give learns nothing and forgets nothing.
    EXPECT_TRUE(watch.trades(Table{}, "2025-06-30").empty());
    EXPECT_TRUE(watch.trades(later, "2025-06-30").empty());
    // A new day starts again with a first read.
    EXPECT_TRUE(watch.trades(later, "2025-07-01").empty());
}

TEST(ClientWatch, TradesWithoutNumbersAreToldApartByTheWholeRow)
{
    ClientWatch watch;
    (void)watch.trades(trades({{"09:45", "000001", "200"}}, false), "d");
    const std::vector<NamedEvent> told =
        watch.trades(trades({{"09:45", "000001", "200"}, {"09:45", "000001", "300"}, {"09:45", "000001", "200"}}, false), "d");
    EXPECT_EQ(told.size(), 1u);
}

Table orders(std::vector<std::vector<std::string>> rows)
{
    return {{"委托时间", "证券代码", "委托价格", "委托数量", "委托编号", "状态说明"}, std::move(rows)};
}

TEST(ClientWatch, AnOrderIsToldWhenNewAndWhenItsStatusTextChanges)
{
    ClientWatch watch;
    (void)watch.orders(orders({{"09:31", "600000", "10.5", "100", "901", "已报"}}), "d");
    std::vector<NamedEvent> told =
        watch.orders(orders({{"09:31", "600000", "10.5", "100", "901", "部成"}, {"09:32", "000001", "12", "200", "902", "已报"}}), "d");
    ASSERT_EQ(told.size(), 2u);
    EXPECT_EQ(told[0].data["number"], 901);
    EXPECT_EQ(told[0].data["previous_status"], "已报");
    EXPECT_EQ(told[0].data["status"], "部成");
    EXPECT_TRUE(told[1].data["previous_status"].is_null());
    told = watch.orders(orders({{"09:31", "600000", "10.5", "100", "901", "部成"}, {"09:32", "000001", "12", "200", "902", "已报"}}), "d");
    EXPECT_TRUE(told.empty());
}

TEST(ClientWatch, TheClientStateIsToldOnChangeOnly)
{
    ClientWatch watch;
    EXPECT_EQ(clientStateOf(true, ""), "attached");
    EXPECT_EQ(clientStateOf(false, zelvo::answers::notLoggedIn), "logged_out");
    EXPECT_EQ(clientStateOf(false, zelvo::answers::clientNotAnswering), "not_answering");
    EXPECT_EQ(clientStateOf(false, zelvo::answers::clientGone), "closed");
    EXPECT_EQ(clientStateOf(false, "查询超时"), "");
    EXPECT_TRUE(watch.client("attached", ""));
    EXPECT_FALSE(watch.client("attached", ""));
    EXPECT_FALSE(watch.client("", "查询超时"));
    EXPECT_EQ(watch.client("closed", "交易客户端已关闭")->data["state"], "closed");
}

}  // namespace
}  // namespace zelvo_host
