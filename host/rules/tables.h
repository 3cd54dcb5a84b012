// The client's answers as the service returns them: table text split into
// columns and rows, a funds line split into labels and values. UTF-8 text in
// and out; no Windows header.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace zelvo_host {

struct Table {
    std::vector<std::string> columns;
    std::vector<std::vector<std::string>> rows;
};

// Table text: cells joined by TAB, lines by LF, the header line first.
[[nodiscard]] Table parseTable(std::string_view text);

// A funds line ("人民币 余额:25000.00 可用:18000.00 ..."): each
// whitespace-separated "label:value" word (ASCII or full-width colon) gives
// a column and its cell of the single row; a first word without a colon is
// the currency ("币种", as in the currency summary); other words are left out.
[[nodiscard]] Table parseFundsLine(std::string_view line);

}  // namespace zelvo_host
