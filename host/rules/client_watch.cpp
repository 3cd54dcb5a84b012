#include "rules/client_watch.h"

#include "rules/order_lists.h"
#include "zelvo_answers.h"

namespace zelvo_host {

namespace {

[[nodiscard]] bool startsWith(std::string_view text, std::string_view head)
{
    return text.substr(0, head.size()) == head;
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

std::string clientStateOf(bool listed, std::string_view gbkMessage)
{
    namespace answers = zelvo::answers;
    if (listed) {
        return "attached";
    }
    if (gbkMessage == answers::notLoggedIn) {
        return "logged_out";
    }
    if (startsWith(gbkMessage, answers::clientNotAnswering)) {
        return "not_answering";
    }
    if (startsWith(gbkMessage, answers::clientGone) || gbkMessage == answers::noMainFrame) {
        return "closed";
    }
    return {};
}

}  // namespace zelvo_host
