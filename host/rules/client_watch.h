// What the service's polls of the client find new: rows of today's trades
// not seen before, and orders of today's orders whose status text changed,
// and the client's own state (attached, logged out, not answering, closed).
// The first read of a day's list only learns what is there: a listener hears
// of the changes after it, and reads the lists themselves for what came
// before. What was seen stays known while nobody listens, so a fill made
// then is told at the next poll, once. UTF-8 text; no Windows header.
#pragma once
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "rules/ledger_events.h"
#include "rules/tables.h"

namespace zelvo_host {

class ClientWatch {
public:
    // The trades of `table` not seen on `date` before.
    [[nodiscard]] std::vector<NamedEvent> trades(const Table& table, const std::string& date);
    // The orders of `table` that are new or whose status text changed.
    [[nodiscard]] std::vector<NamedEvent> orders(const Table& table, const std::string& date);
    // The client's state (see clientStateOf) with the message that showed
    // it, when it differs from the last one told; none for an empty state.
    [[nodiscard]] std::optional<NamedEvent> client(const std::string& state, const std::string& message);

private:
    // What one list showed today.
    template <typename Known>
    struct Seen {
        std::string date;
        bool learnt = false;  // the first read of the day was made
        Known known;

        // Starts again on a new day; false for a list the client could not
        // give (it has no columns), which teaches nothing.
        [[nodiscard]] bool read(const std::string& day, const Table& table)
        {
            if (date != day) {
                *this = {day, false, {}};
            }
            return !table.columns.empty();
        }
    };

    Seen<std::set<std::string>> trades_;      // the trades' keys
    Seen<std::map<int, std::string>> orders_;  // each order's status text
    std::string clientState_;
};

// The client's state a call's answer shows: "attached" when the call
// succeeded (the list was read), else "logged_out", "not_answering" or
// "closed" by the library's fixed answers (zelvo_answers.h), compared with
// the message as zelvo.dll wrote it, in GBK, before any conversion; empty
// for another refusal, which says nothing of the state.
[[nodiscard]] std::string clientStateOf(bool listed, std::string_view gbkMessage);

}  // namespace zelvo_host
