#include "rules/order_lists.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <iterator>

namespace zelvo_host {

namespace {

// The captions of the columns the service reads, in the order they are
// tried; the editions name them differently.
constexpr const char* numberColumns[] = {"委托编号", "合同编号"};
constexpr const char* codeColumns[] = {"证券代码"};
constexpr const char* priceColumns[] = {"委托价格", "价格"};
constexpr const char* quantityColumns[] = {"委托数量", "数量"};
constexpr const char* sideColumns[] = {"买卖标志", "买卖方向", "买卖类别", "操作", "委托类别"};
constexpr const char* statusColumns[] = {"状态说明", "委托状态", "备注"};
constexpr const char* tradeNumberColumns[] = {"成交编号"};
constexpr char buyWord[] = "买";
constexpr char sellWord[] = "卖";

template <size_t count>
[[nodiscard]] int findColumn(const Table& table, const char* const (&names)[count])
{
    for (const char* name : names) {
        const auto found = std::find(table.columns.begin(), table.columns.end(), name);
        if (found != table.columns.end()) {
            return static_cast<int>(found - table.columns.begin());
        }
    }
    return -1;
}

[[nodiscard]] std::string cellOf(const std::vector<std::string>& row, int column)
{
    return column >= 0 && static_cast<size_t>(column) < row.size() ? row[static_cast<size_t>(column)] : std::string();
}

[[nodiscard]] std::string trimmed(const std::string& text)
{
    const size_t start = text.find_first_not_of(" \t\r\n");
    if (start == std::string::npos) {
        return {};
    }
    return text.substr(start, text.find_last_not_of(" \t\r\n") - start + 1);
}

// A whole positive number that fits an int, else -1.
[[nodiscard]] int orderNumber(const std::string& text)
{
    const std::string cell = trimmed(text);
    if (cell.empty() || cell.size() > 10 || !std::all_of(cell.begin(), cell.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return -1;
    }
    const long long value = std::strtoll(cell.c_str(), nullptr, 10);
    return value > 0 && value <= INT_MAX ? static_cast<int>(value) : -1;
}

[[nodiscard]] Side sideOf(const std::string& cell)
{
    const bool buys = cell.find(buyWord) != std::string::npos;
    const bool sells = cell.find(sellWord) != std::string::npos;
    if (buys == sells) {
        return Side::Any;
    }
    return buys ? Side::Buy : Side::Sell;
}

}  // namespace

std::optional<double> listedNumber(const std::string& cell)
{
    std::string digits;
    for (const char c : trimmed(cell)) {
        if (c != ',') {
            digits += c;
        }
    }
    if (digits.empty() || !std::all_of(digits.begin(), digits.end(), [](char c) { return (c >= '0' && c <= '9') || c == '.'; }) ||
        std::count(digits.begin(), digits.end(), '.') > 1) {
        return std::nullopt;
    }
    const double value = std::strtod(digits.c_str(), nullptr);
    return std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

OrderList readOrderList(const Table& table)
{
    OrderList list;
    const int number = findColumn(table, numberColumns);
    const int code = findColumn(table, codeColumns);
    const int price = findColumn(table, priceColumns);
    const int quantity = findColumn(table, quantityColumns);
    const int side = findColumn(table, sideColumns);
    const int status = findColumn(table, statusColumns);
    list.hasNumbers = number >= 0;
    list.hasSides = side >= 0;
    const std::pair<int, const char*> matched[] = {{number, "order number"}, {code, "code"}, {price, "price"}, {quantity, "quantity"}};
    for (const auto& [column, name] : matched) {
        if (column < 0) {
            list.missing += (list.missing.empty() ? "" : ", ") + std::string(name);
        }
    }
    for (size_t index = 0; index < table.rows.size(); ++index) {
        const auto& row = table.rows[index];
        ListedOrder order;
        order.row = index;
        order.number = orderNumber(cellOf(row, number));
        if (order.number < 0) {
            continue;
        }
        order.code = trimmed(cellOf(row, code));
        order.price = listedNumber(cellOf(row, price));
        order.quantity = listedNumber(cellOf(row, quantity));
        order.side = sideOf(cellOf(row, side));
        order.status = trimmed(cellOf(row, status));
        list.orders.push_back(std::move(order));
    }
    return list;
}

int tradeNumberColumn(const Table& trades)
{
    return findColumn(trades, tradeNumberColumns);
}

std::vector<std::pair<std::string, std::string>> cellsOf(const Table& table, size_t row)
{
    std::vector<std::pair<std::string, std::string>> cells;
    if (row >= table.rows.size()) {
        return cells;
    }
    for (size_t column = 0; column < table.columns.size(); ++column) {
        cells.emplace_back(table.columns[column], cellOf(table.rows[row], static_cast<int>(column)));
    }
    return cells;
}

CancelSelection ordersToCancel(const Table& cancelList, Side side)
{
    CancelSelection selection;
    const OrderList list = readOrderList(cancelList);
    if (!list.hasNumbers) {
        selection.problem = "the cancel list has no order-number column";
        return selection;
    }
    if (side != Side::Any && !list.hasSides) {
        selection.problem = "the cancel list has no buy/sell column";
        return selection;
    }
    for (const ListedOrder& order : list.orders) {
        const bool sideMatches = side == Side::Any || order.side == side;
        const bool listed = std::any_of(selection.orders.begin(), selection.orders.end(),
                                        [&](const ListedOrder& taken) { return taken.number == order.number; });
        if (sideMatches && !listed) {
            selection.orders.push_back(order);
        }
    }
    return selection;
}

}  // namespace zelvo_host
