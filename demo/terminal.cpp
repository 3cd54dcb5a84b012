#include "terminal.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "gbk_text.h"

namespace demo {

namespace {

std::vector<std::string> split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t at = text.find(separator); at != std::string::npos; at = text.find(separator, start)) {
        parts.push_back(text.substr(start, at - start));
        start = at + 1;
    }
    parts.push_back(text.substr(start));
    return parts;
}

}  // namespace

void say(const std::string& gbk)
{
    const std::string line = zelvo_common::gbkToUtf8(gbk) + "\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
}

// In GBK a double-byte character is also two columns wide on a terminal, so
// byte counts align the columns.
void printTable(const std::string& gbkTable)
{
    if (gbkTable.empty()) {
        say("    (empty)");
        return;
    }
    std::vector<std::vector<std::string>> rows;
    std::vector<size_t> widths;
    for (const std::string& line : split(gbkTable, '\n')) {
        rows.push_back(split(line, '\t'));
        widths.resize(std::max(widths.size(), rows.back().size()), 0);
        for (size_t column = 0; column < rows.back().size(); ++column) {
            widths[column] = std::max(widths[column], rows.back()[column].size());
        }
    }
    for (const auto& row : rows) {
        std::string line = "    ";
        for (size_t column = 0; column < row.size(); ++column) {
            line += row[column] + std::string(widths[column] - row[column].size() + 2, ' ');
        }
        say(line);
    }
}

}  // namespace demo
