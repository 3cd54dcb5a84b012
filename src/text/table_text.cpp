#include "text/table_text.h"

#include "text/gbk_text.h"

namespace zelvo {
namespace {

constexpr char cellSeparator = '\t';
constexpr char lineSeparator = '\n';

// In a funds line a label stands between a blank and a colon, and a value
// between a colon and a blank.
constexpr char labelStart = ' ';
constexpr char valueStart = ':';

void appendHeader(std::string& table, const std::vector<std::string>& captions)
{
    for (size_t column = 0; column < captions.size(); ++column) {
        if (column > 0) {
            table += cellSeparator;
        }
        table += captions[column];
    }
}

void appendRow(std::string& table, int row, int columnCount,
               const std::function<std::string(int row, int column)>& cell)
{
    for (int column = 0; column < columnCount; ++column) {
        table += column == 0 ? lineSeparator : cellSeparator;
        table += cell(row, column);
    }
}

void appendCells(std::string& table, const std::vector<std::string>& cells)
{
    for (const std::string& text : cells) {
        table += cellSeparator;
        table += text;
    }
}

void appendCurrencyLine(std::string& table, const char* name, const std::string& fundsLine)
{
    table += lineSeparator;
    table += name;
    appendCells(table, extractBetween(fundsLine, valueStart, labelStart));
}

}  // namespace

std::string formatTable(const std::vector<std::string>& captions, int rowCount,
                        const std::function<std::string(int row, int column)>& cell)
{
    std::string table;
    appendHeader(table, captions);
    const int columnCount = static_cast<int>(captions.size());
    for (int row = 0; row < rowCount && columnCount > 0; ++row) {
        appendRow(table, row, columnCount, cell);
    }
    return table;
}

std::string currencySummary(const std::string& rmbLine, const std::string& usdLine,
                            const std::string& hkdLine)
{
    // Only the renminbi line gives the labels; the other lines add values.
    std::string table = currencyCaption;
    appendCells(table, extractBetween(rmbLine, labelStart, valueStart));
    appendCurrencyLine(table, renminbiName, rmbLine);
    appendCurrencyLine(table, usDollarName, usdLine);
    appendCurrencyLine(table, hongKongDollarName, hkdLine);
    return table;
}

}  // namespace zelvo
