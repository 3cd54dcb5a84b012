#include "client_data.h"

#include <ctime>

namespace demo {

namespace {

// The edition's caption of today's orders (some editions say "...查询").
std::string todayOrdersCaption(substitute::Client& client)
{
    for (const std::string caption : {"当日委托", "当日委托查询"}) {
        if (!client.queries().contents(caption).columns.empty()) {
            return caption;
        }
    }
    return "当日委托";
}

std::string clockNow()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    char text[16];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u", now.wHour, now.wMinute, now.wSecond);
    return text;
}

}  // namespace

substitute::ClientSetup demoClientSetup(substitute::Broker broker, bool credit)
{
    return substitute::editionClient(broker, credit);
}

// Every order the client accepts joins its today's orders, as in a real
// client, so the demo can list it and cancel it.
void fillDemoData(substitute::Client& client)
{
    const std::string caption = todayOrdersCaption(client);
    client.orders().setPlacedListener([&client, caption](const substitute::OrderTicket& ticket) {
        const bool buy = ticket.page.find("买") != std::string::npos;
        std::vector<substitute::Row> rows = client.queries().contents(caption).rows;
        rows.push_back({clockNow(), ticket.code, "", buy ? "买入" : "卖出", ticket.price, ticket.quantity, "0",
                        std::to_string(ticket.contract), "已报"});
        client.queries().setRows(caption, rows);
    });
}

}  // namespace demo
