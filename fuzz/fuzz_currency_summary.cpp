// The currency summary built from three arbitrary funds lines.
// Input: the renminbi, US dollar and Hong Kong dollar lines, separated by
// NUL bytes (missing lines are empty).
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "text/table_text.h"
#include "text/gbk_text.h"

namespace {

[[nodiscard]] std::vector<std::string> cut(const std::string& text, char separator)
{
    std::vector<std::string> parts(1);
    for (const char byte : text) {
        if (byte == separator) {
            parts.emplace_back();
        } else {
            parts.back() += byte;
        }
    }
    return parts;
}

[[nodiscard]] bool holds(const std::string& text, char byte)
{
    return text.find(byte) != std::string::npos;
}

// With no TAB in the funds lines, a line's cells after its first are
// exactly the items the line was built from.
void checkCells(const std::string& line, const std::string& firstCell, const std::vector<std::string>& items)
{
    std::vector<std::string> expected{firstCell};
    expected.insert(expected.end(), items.begin(), items.end());
    FUZZ_CHECK(cut(line, '\t') == expected);
}

void checkSummary(const std::string& rmb, const std::string& usd, const std::string& hkd)
{
    const std::string summary = zelvo::currencySummary(rmb, usd, hkd);
    FUZZ_CHECK(summary.compare(0, std::string(zelvo::currencyCaption).size(), zelvo::currencyCaption) == 0);

    // A LF inside a funds line may end up inside a cell, and then the
    // summary has more lines; that is the caller's text, not a fault.
    if (holds(rmb, '\n') || holds(usd, '\n') || holds(hkd, '\n')) {
        return;
    }
    const std::vector<std::string> lines = cut(summary, '\n');
    FUZZ_CHECK(lines.size() == 4);
    const char* const names[] = {zelvo::renminbiName, zelvo::usDollarName, zelvo::hongKongDollarName};
    for (size_t index = 0; index < 3; ++index) {
        FUZZ_CHECK(cut(lines[index + 1], '\t')[0] == names[index]);
    }

    if (holds(rmb, '\t') || holds(usd, '\t') || holds(hkd, '\t')) {
        return;
    }
    checkCells(lines[0], zelvo::currencyCaption, zelvo::extractBetween(rmb, ' ', ':'));
    checkCells(lines[1], names[0], zelvo::extractBetween(rmb, ':', ' '));
    checkCells(lines[2], names[1], zelvo::extractBetween(usd, ':', ' '));
    checkCells(lines[3], names[2], zelvo::extractBetween(hkd, ':', ' '));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::string> lines = zelvo::fuzz::splitFields(data, size, '\0', 3);
    lines.resize(3);
    checkSummary(lines[0], lines[1], lines[2]);
    return 0;
}
