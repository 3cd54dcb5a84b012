#include "order_listing.h"

#include <cstdio>
#include <cstdlib>

namespace substitute {

namespace {

// The pages that list today's orders, by edition, and the cancel page.
constexpr const char* orderListCaptions[] = {"当日委托", "当日委托查询", "撤单"};
constexpr const char* tradeListCaptions[] = {"当日成交", "当日成交查询"};
constexpr char filledStatus[] = "已成";
// The columns of the rows listAcceptedOrders adds.
enum OrderCell { OrderTime, OrderCode, OrderName, OrderSide, OrderPrice, OrderQuantity, OrderFilled, OrderNumber, OrderStatus };
constexpr int firstTradeNumber = 60001;

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

// Changes the row of order `number` in every list of orders; the row as it
// was in today's orders, or an empty row when none has that number.
template <typename Change>
Row changeListedRow(Client& client, int number, Change change)
{
    Row found;
    for (const char* caption : orderListCaptions) {
        std::vector<Row> rows = client.queries().contents(caption).rows;
        for (Row& row : rows) {
            if (row.size() > OrderStatus && row[OrderNumber] == std::to_string(number)) {
                if (found.empty()) {
                    found = row;
                }
                change(row);
            }
        }
        client.queries().setRows(caption, rows);
    }
    return found;
}

}  // namespace

bool setListedStatus(Client& client, int number, const std::string& status)
{
    return !changeListedRow(client, number, [&status](Row& row) { row[OrderStatus] = status; }).empty();
}

bool fillListedOrder(Client& client, int number)
{
    const Row order = changeListedRow(client, number, [](Row& row) {
        row[OrderStatus] = filledStatus;
        row[OrderFilled] = row[OrderQuantity];
    });
    if (order.empty()) {
        return false;
    }
    for (const char* caption : tradeListCaptions) {
        std::vector<Row> rows = client.queries().contents(caption).rows;
        const std::string tradeNumber = std::to_string(firstTradeNumber + static_cast<int>(rows.size()));
        rows.push_back({clockNow(), order[OrderCode], order[OrderName], order[OrderSide], order[OrderPrice],
                        order[OrderQuantity], tradeNumber, order[OrderNumber]});
        client.queries().setRows(caption, rows);
    }
    return true;
}

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
