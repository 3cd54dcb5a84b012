// Table text, the form in which every list goes back to the caller: cells
// joined by TAB, lines joined by LF, the header line first, nothing after
// the last cell. Pure functions; no Windows header, so they also build
// natively elsewhere.
#pragma once
#include <functional>
#include <string>
#include <vector>

namespace zelvo {

// Names of the currency summary, as GBK bytes so they are the same whatever
// the compiler's execution character set.
inline constexpr char currencyCaption[] = "\xB1\xD2\xD6\xD6";         // "币种"
inline constexpr char renminbiName[] = "\xC8\xCB\xC3\xF1\xB1\xD2";    // "人民币"
inline constexpr char usDollarName[] = "\xC3\xC0\xD4\xAA";            // "美元"
inline constexpr char hongKongDollarName[] = "\xB8\xDB\xD4\xAA";      // "港元"

// Cells are joined by a TAB, lines by a line feed.
inline constexpr char cellSeparator = '\t';
inline constexpr char lineSeparator = '\n';

using CellReader = std::function<std::string(int row, int column)>;

// Appends the table text of rows `row` to `rowCount` - 1, starting at column
// `column` of the first: a line feed before each row's first cell, a TAB
// before each other cell.
void appendRows(std::string& table, int row, int column, int rowCount, int columnCount, const CellReader& cell);

// The header line of `captions`: the captions joined by TABs.
[[nodiscard]] std::string headerLine(const std::vector<std::string>& captions);

// The header line of `captions`, then one line per row 0..rowCount-1 with
// the cells of columns 0..N-1 in order. No captions give the empty text,
// whatever the row count; `cell` is then never called.
[[nodiscard]] std::string formatTable(const std::vector<std::string>& captions, int rowCount, const CellReader& cell);

// The funds of the three currencies as table text: the header is the
// currency caption and the labels of the renminbi line (" label:"); each
// currency's line is its name and the values of its own line (":value ").
[[nodiscard]] std::string currencySummary(const std::string& rmbLine, const std::string& usdLine,
                                          const std::string& hkdLine);

}  // namespace zelvo
