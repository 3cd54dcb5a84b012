#include "client_watch.h"

#include "order_lists.h"

namespace zelvo_host {

namespace {

// The library's fixed texts (zelvo_answers.h) that tell the client's state,
// as the service has them: in UTF-8.
constexpr char notLoggedIn[] = "未登录";
constexpr char clientGone[] = "交易客户端已关闭";
constexpr char noMainFrame[] = "未找到交易客户端主窗口";
constexpr char clientNotAnswering[] = "交易客户端无响应";

[[nodiscard]] bool startsWith(const std::string& text, const char* head)
{
    return text.rfind(head, 0) == 0;
}

// A trade's key: its trade number, or where the list has none the whole row.
[[nodiscard]] std::string tradeKey(const Table& table, size_t row, int numberColumn)
{
    const std::vector<std::string>& cells = table.rows[row];
    if (numberColumn >= 0 && static_cast<size_t>(numberColumn) < cells.size() && !cells[static_cast<size_t>(numberColumn)].empty()) {
        return "#" + cells[static_cast<size_t>(numberColumn)];
    }
    std::string whole = "=";
    for (const std::string& cell : cells) {
        whole += cell + '\t';
    }
    return whole;
}

[[nodiscard]] Json rowJson(const Table& table, size_t row)
{
    Json cells = Json::object();
    for (const auto& [column, cell] : cellsOf(table, row)) {
        cells[column] = cell;
    }
    return cells;
}

}  // namespace

std::vector<NamedEvent> ClientWatch::trades(const Table& table, const std::string& date)
{
    std::vector<NamedEvent> found;
    if (!trades_.read(date, table)) {
        return found;
    }
    const int numberColumn = tradeNumberColumn(table);
    for (size_t row = 0; row < table.rows.size(); ++row) {
        if (trades_.known.insert(tradeKey(table, row, numberColumn)).second && trades_.learnt) {
            found.push_back({"trade", {{"row", rowJson(table, row)}}});
        }
    }
    trades_.learnt = true;
    return found;
}

std::vector<NamedEvent> ClientWatch::orders(const Table& table, const std::string& date)
{
    std::vector<NamedEvent> found;
    if (!orders_.read(date, table)) {
        return found;
    }
    for (const ListedOrder& order : readOrderList(table).orders) {
        const auto known = orders_.known.find(order.number);
        const bool isNew = known == orders_.known.end();
        if (!isNew && known->second == order.status) {
            continue;
        }
        if (orders_.learnt) {
            found.push_back({"order", {{"source", "client"},
                                       {"number", order.number},
                                       {"code", order.code},
                                       {"status", order.status},
                                       {"previous_status", isNew ? Json(nullptr) : Json(known->second)},
                                       {"row", rowJson(table, order.row)}}});
        }
        orders_.known[order.number] = order.status;
    }
    orders_.learnt = true;
    return found;
}

std::optional<NamedEvent> ClientWatch::client(const std::string& state, const std::string& message)
{
    if (state.empty() || state == clientState_) {
        return std::nullopt;
    }
    clientState_ = state;
    return NamedEvent{"client", {{"state", state}, {"message", message}}};
}

std::string clientStateOf(bool listed, const std::string& message)
{
    if (listed) {
        return "attached";
    }
    if (message == notLoggedIn) {
        return "logged_out";
    }
    if (startsWith(message, clientNotAnswering)) {
        return "not_answering";
    }
    if (startsWith(message, clientGone) || message == noMainFrame) {
        return "closed";
    }
    return {};
}

}  // namespace zelvo_host
