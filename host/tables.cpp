#include "tables.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace zelvo_host {

namespace {

// The columns that hold a list's order number and its buy/sell side, in the
// order they are tried; the editions name them differently.
constexpr const char* orderNumberColumns[] = {"委托编号", "合同编号"};
constexpr const char* sideColumns[] = {"买卖标志", "买卖方向", "买卖类别", "操作", "委托类别"};
constexpr char buyWord[] = "买";
constexpr char sellWord[] = "卖";
constexpr char fullWidthColon[] = "：";
// The funds line starts with its currency's name; the currency summary
// names that column so.
constexpr char currencyColumn[] = "币种";

[[nodiscard]] std::vector<std::string> split(std::string_view text, char separator)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        const size_t end = text.find(separator, start);
        parts.emplace_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) {
            return parts;
        }
        start = end + 1;
    }
}

[[nodiscard]] int findColumn(const Table& table, const char* const* names, size_t count)
{
    for (size_t index = 0; index < count; ++index) {
        const auto found = std::find(table.columns.begin(), table.columns.end(), names[index]);
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

// A whole positive number that fits an int, else -1.
[[nodiscard]] int orderNumber(const std::string& cell)
{
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

[[nodiscard]] bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Splits "label:value" at its first ASCII or full-width colon; false for a word without one.
[[nodiscard]] bool splitPair(const std::string& word, std::string& label, std::string& value)
{
    size_t at = word.find(':');
    size_t width = 1;
    const size_t wide = word.find(fullWidthColon);
    if (wide != std::string::npos && (at == std::string::npos || wide < at)) {
        at = wide;
        width = sizeof(fullWidthColon) - 1;
    }
    if (at == std::string::npos || at == 0) {
        return false;
    }
    label = word.substr(0, at);
    value = word.substr(at + width);
    return true;
}

}  // namespace

Table parseTable(std::string_view text)
{
    Table table;
    if (text.empty()) {
        return table;
    }
    std::vector<std::string> lines = split(text, '\n');
    table.columns = split(lines.front(), '\t');
    for (size_t index = 1; index < lines.size(); ++index) {
        table.rows.push_back(split(lines[index], '\t'));
    }
    return table;
}

Table parseFundsLine(std::string_view line)
{
    Table table;
    std::vector<std::string> values;
    size_t position = 0;
    while (position < line.size()) {
        while (position < line.size() && isSpace(line[position])) {
            ++position;
        }
        const size_t start = position;
        while (position < line.size() && !isSpace(line[position])) {
            ++position;
        }
        const std::string word(line.substr(start, position - start));
        std::string label;
        std::string value;
        if (splitPair(word, label, value)) {
            table.columns.push_back(label);
            values.push_back(value);
        } else if (!word.empty() && table.columns.empty()) {
            table.columns.push_back(currencyColumn);
            values.push_back(word);
        }
    }
    if (!values.empty()) {
        table.rows.push_back(values);
    }
    return table;
}

CancelSelection ordersToCancel(const Table& cancelList, Side side)
{
    CancelSelection selection;
    const int numberColumn = findColumn(cancelList, orderNumberColumns, std::size(orderNumberColumns));
    if (numberColumn < 0) {
        selection.problem = "the cancel list has no order-number column";
        return selection;
    }
    const int sideColumn = findColumn(cancelList, sideColumns, std::size(sideColumns));
    if (side != Side::Any && sideColumn < 0) {
        selection.problem = "the cancel list has no buy/sell column";
        return selection;
    }
    for (const auto& row : cancelList.rows) {
        const int number = orderNumber(cellOf(row, numberColumn));
        const bool sideMatches = side == Side::Any || sideOf(cellOf(row, sideColumn)) == side;
        if (number > 0 && sideMatches &&
            std::find(selection.numbers.begin(), selection.numbers.end(), number) == selection.numbers.end()) {
            selection.numbers.push_back(number);
        }
    }
    return selection;
}

}  // namespace zelvo_host
