#include "desk/client_polls.h"

#include "desk/trading_desk.h"

namespace zelvo_host {

namespace {

constexpr char keepAliveComment[] = ": keep-alive\n\n";

void tellAll(EventFeed& feed, std::vector<NamedEvent> events)
{
    for (NamedEvent& event : events) {
        feed.tell(std::move(event));
    }
}

void pollClient(ServiceContext& context)
{
    EventFeed& feed = context.events;
    const std::string today = now().date();
    const ListRead trades = readOrders(context, zelvo::QueryKind::TodayTrades);
    noteClientState(context, clientStateOf(trades.ok, trades.message), trades.message);
    if (!trades.ok) {
        return;  // not attached, or not answering: the orders would say the same
    }
    tellAll(feed, feed.watch().trades(trades.table, today));
    const ListRead orders = readOrders(context, zelvo::QueryKind::TodayOrders);
    noteClientState(context, clientStateOf(orders.ok, orders.message), orders.message);
    if (orders.ok) {
        rememberListed(context, orders.table);
        tellAll(feed, feed.watch().orders(orders.table, today));
    }
}

}  // namespace

bool pollClientIfDue(ServiceContext& context, bool requestWaiting)
{
    EventFeed& feed = context.events;
    const EventFeed::Clock::time_point at = EventFeed::Clock::now();
    if (feed.keepAliveDue(at)) {
        feed.publishComment(keepAliveComment);
    }
    if (!feed.pollDue(at, requestWaiting)) {
        return false;
    }
    pollClient(context);
    feed.polled(EventFeed::Clock::now());
    return true;
}

void noteClientState(ServiceContext& context, const std::string& state, const std::string& message)
{
    if (std::optional<NamedEvent> changed = context.events.watch().client(state, message)) {
        context.events.tell(std::move(*changed));
    }
}

}  // namespace zelvo_host
