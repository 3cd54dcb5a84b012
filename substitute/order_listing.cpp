#include "order_listing.h"

#include <cstdio>
#include <cstdlib>

namespace substitute {

namespace {

// The pages that list today's orders, by edition, and the cancel page.
constexpr const char* orderListCaptions[] = {"当日委托", "当日委托查询", "撤单"};

std::string clockNow()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    char text[16];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u", now.wHour, now.wMinute, now.wSecond);
    return text;
}

std::string shownPrice(const std::string& typed)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", std::strtod(typed.c_str(), nullptr));
    return text;
}

}  // namespace

void listAcceptedOrders(Client& client)
{
    client.orders().setPlacedListener([&client](const OrderTicket& ticket) {
        const bool buy = ticket.page.find("买") != std::string::npos;
        const Row row = {clockNow(), ticket.code, "", buy ? "买入" : "卖出", shownPrice(ticket.price), ticket.quantity,
                         "0", std::to_string(ticket.contract), "已报"};
        for (const char* caption : orderListCaptions) {
            std::vector<Row> rows = client.queries().contents(caption).rows;
            rows.push_back(row);
            client.queries().setRows(caption, rows);
        }
    });
}

}  // namespace substitute
