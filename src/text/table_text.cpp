#include "text/table_text.h"

#include "text/gbk_text.h"

namespace zelvo {
namespace {

// In a funds line a label stands between a blank and a colon, and a value
// between a colon and a blank.
constexpr char labelStart = ' ';
constexpr char valueStart = ':';

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

void appendRows(std::string& table, int row, int column, int rowCount, int columnCount, const CellReader& cell)
{
    for (; row < rowCount && columnCount > 0; ++row, column = 0) {
        for (; column < columnCount; ++column) {
            table += column == 0 ? lineSeparator : cellSeparator;
            table += cell(row, column);
        }
    }
}

std::string headerLine(const std::vector<std::string>& captions)
{
    std::string line;
    for (size_t column = 0; column < captions.size(); ++column) {
        if (column > 0) {
            line += cellSeparator;
        }
        line += captions[column];
    }
    return line;
}

std::string formatTable(const std::vector<std::string>& captions, int rowCount, const CellReader& cell)
{
    std::string table = headerLine(captions);
    appendRows(table, 0, 0, rowCount, static_cast<int>(captions.size()), cell);
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
