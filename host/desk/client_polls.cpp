#include "desk/client_polls.h"

#include <vector>

#include "desk/trading_desk.h"
#include "store/clock.h"

namespace zelvo_host {

namespace {

constexpr char keepAliveComment[] = ": keep-alive\n\n";

void tellAll(EventFeed& feed, std::vector<NamedEvent> events)
{
    for (NamedEvent& event : events) {
        feed.tell(std::move(event));
    }
}

void pollClient(EventFeed& feed, Ledger& ledger, ZelvoDll& dll)
{
    const std::string today = now().date();
    const ListRead trades = readList(dll, zelvo::QueryKind::TodayTrades);
    noteClientState(feed, trades.clientState, trades.message);
    if (!trades.ok) {
        return;  // not attached, or not answering: the orders would say the same
    }
    tellAll(feed, feed.watch().trades(trades.table, today));
    const ListRead orders = readList(dll, zelvo::QueryKind::TodayOrders);
    noteClientState(feed, orders.clientState, orders.message);
    if (orders.ok) {
        rememberListed(ledger, orders.table);
        tellAll(feed, feed.watch().orders(orders.table, today));
    }
}

}  // namespace

void pollClientIfDue(EventFeed& feed, Ledger& ledger, ZelvoDll& dll, bool requestWaiting)
{
    const EventFeed::Clock::time_point at = EventFeed::Clock::now();
    if (feed.keepAliveDue(at)) {
        feed.publishComment(keepAliveComment);
    }
    if (feed.pollDue(at, requestWaiting)) {
        pollClient(feed, ledger, dll);
        feed.polled(EventFeed::Clock::now());
    }
}

void noteClientState(EventFeed& feed, const std::string& state, const std::string& message)
{
    if (std::optional<NamedEvent> changed = feed.watch().client(state, message)) {
        feed.tell(std::move(*changed));
    }
}

}  // namespace zelvo_host
