// formatTable with arbitrary captions, cells and row counts.
// Input: byte 0, read as signed and divided by 4, is the row count (-32..31:
// negative counts occur, and tables stay small enough to run fast), byte 1
// modulo 9 the number of columns N; the rest, cut at 0x01 bytes, gives the
// N captions first (missing ones are empty) and then the pool the cells are
// taken from in turn.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "fuzz_support.h"
#include "text/table_text.h"

namespace {

constexpr int maxColumns = 8;

struct Table {
    int rowCount = 0;
    std::vector<std::string> captions;
    std::vector<std::string> pool;

    [[nodiscard]] std::string cell(int row, int column) const
    {
        if (pool.empty()) {
            return {};
        }
        const size_t index = static_cast<size_t>(row) * captions.size() + static_cast<size_t>(column);
        return pool[index % pool.size()];
    }

    [[nodiscard]] size_t rows() const { return rowCount > 0 ? static_cast<size_t>(rowCount) : 0; }
};

[[nodiscard]] Table parse(const uint8_t* data, size_t size)
{
    Table table;
    table.rowCount = static_cast<int8_t>(data[0]) / 4;
    const size_t columns = data[1] % (maxColumns + 1);
    std::vector<std::string> fields = zelvo::fuzz::splitFields(data + 2, size - 2, '\x01');
    fields.resize(std::max(fields.size(), columns));
    table.captions.assign(fields.begin(), fields.begin() + static_cast<std::ptrdiff_t>(columns));
    table.pool.assign(fields.begin() + static_cast<std::ptrdiff_t>(columns), fields.end());
    return table;
}

// The table's lines, each a list of its cells, header first.
[[nodiscard]] std::vector<std::vector<std::string>> expectedLines(const Table& table)
{
    if (table.captions.empty()) {
        return {};
    }
    std::vector<std::vector<std::string>> lines{table.captions};
    for (size_t row = 0; row < table.rows(); ++row) {
        std::vector<std::string>& line = lines.emplace_back();
        for (size_t column = 0; column < table.captions.size(); ++column) {
            line.push_back(table.cell(static_cast<int>(row), static_cast<int>(column)));
        }
    }
    return lines;
}

[[nodiscard]] bool holdsSeparator(const std::vector<std::vector<std::string>>& lines)
{
    for (const auto& line : lines) {
        for (const std::string& text : line) {
            if (text.find_first_of("\t\n") != std::string::npos) {
                return true;
            }
        }
    }
    return false;
}

// The text cut at LF into lines and each line at TAB into cells.
[[nodiscard]] std::vector<std::vector<std::string>> cutTable(const std::string& text)
{
    std::vector<std::vector<std::string>> lines{{std::string()}};
    for (const char byte : text) {
        if (byte == '\n') {
            lines.push_back({std::string()});
        } else if (byte == '\t') {
            lines.back().emplace_back();
        } else {
            lines.back().back() += byte;
        }
    }
    return lines;
}

void checkTable(const Table& table)
{
    std::vector<std::pair<int, int>> calls;
    const std::string text = zelvo::formatTable(table.captions, table.rowCount, [&](int row, int column) {
        calls.emplace_back(row, column);
        return table.cell(row, column);
    });

    // Every cell is asked for once, row by row, column by column.
    const size_t columns = table.captions.size();
    FUZZ_CHECK(calls.size() == table.rows() * columns);
    for (size_t index = 0; index < calls.size(); ++index) {
        FUZZ_CHECK(calls[index].first == static_cast<int>(index / columns));
        FUZZ_CHECK(calls[index].second == static_cast<int>(index % columns));
    }

    const auto lines = expectedLines(table);
    if (lines.empty()) {
        FUZZ_CHECK(text.empty());
        return;
    }
    // Exactly N-1 TABs per line and one LF between lines, none at the end:
    // the byte count holds even when cells themselves hold separators.
    size_t cellBytes = 0;
    for (const auto& line : lines) {
        for (const std::string& cellText : line) {
            cellBytes += cellText.size();
        }
    }
    FUZZ_CHECK(text.size() == cellBytes + lines.size() * (columns - 1) + (lines.size() - 1));
    if (!holdsSeparator(lines)) {
        FUZZ_CHECK(cutTable(text) == lines);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2) {
        return 0;
    }
    checkTable(parse(data, size));
    return 0;
}
