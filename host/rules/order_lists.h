// The client's lists of orders (today's orders, the cancel list) as the
// service reads them: each row's order number, code, price, quantity and
// side, found by the captions the editions give those columns. Every caption
// the service looks for is named in order_lists.cpp and nowhere else. UTF-8
// text; no Windows header.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "rules/tables.h"

namespace zelvo_host {

enum class Side { Any, Buy, Sell };

struct ListedOrder {
    size_t row = 0;   // the row's index in the table
    int number = -1;  // the order number; -1 for a row without one (a "no records" line)
    std::string code;
    std::optional<double> price;     // as the list shows it: "10.500" and "10.5" are one price
    std::optional<double> quantity;  // "1,000" and "1000" are one quantity
    Side side = Side::Any;           // Any when the list has no side column or the cell names neither
    std::string status;              // the client's status text of the order; empty without that column
};

struct OrderList {
    std::vector<ListedOrder> orders;  // the rows with an order number, in list order
    bool hasNumbers = false;          // the list has an order-number column
    bool hasSides = false;            // the list has a buy/sell column
    // The columns an order is matched on that the list lacks ("code",
    // "price", ...), in words; empty when it has them all.
    std::string missing;
};

[[nodiscard]] OrderList readOrderList(const Table& table);

// A decimal number as a list shows it ("10.500", "1,000", " 300 "); none
// for a cell that is not one.
[[nodiscard]] std::optional<double> listedNumber(const std::string& cell);

// The column of today's trades that numbers each trade; -1 when the list has none.
[[nodiscard]] int tradeNumberColumn(const Table& trades);

// The row as an object of its cells by column, for showing it.
[[nodiscard]] std::vector<std::pair<std::string, std::string>> cellsOf(const Table& table, size_t row);

struct CancelSelection {
    std::vector<ListedOrder> orders;  // in list order, each number once
    std::string problem;              // set when the list cannot be used; orders is then empty
};

// The orders of the cancel list, those of one side only when `side` says so.
// A row's side is buy when its side cell names buying and not selling, sell
// for the reverse.
[[nodiscard]] CancelSelection ordersToCancel(const Table& cancelList, Side side);

}  // namespace zelvo_host
