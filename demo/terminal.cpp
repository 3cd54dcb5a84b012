#include "terminal.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace demo {

namespace {

std::string convert(const std::string& text, UINT from, UINT to)
{
    if (text.empty()) {
        return {};
    }
    const int wideLength = MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(wideLength), L'\0');
    MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), wide.data(), wideLength);
    const int length = WideCharToMultiByte(to, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(to, 0, wide.data(), wideLength, result.data(), length, nullptr, nullptr);
    return result;
}

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

std::string toUtf8(const std::string& gbk)
{
    return convert(gbk, 936, CP_UTF8);
}

std::string toGbk(const std::string& utf8)
{
    return convert(utf8, CP_UTF8, 936);
}

void say(const std::string& gbk)
{
    const std::string line = toUtf8(gbk) + "\n";
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
