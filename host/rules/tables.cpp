#include "rules/tables.h"

namespace zelvo_host {

namespace {

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

}  // namespace zelvo_host
