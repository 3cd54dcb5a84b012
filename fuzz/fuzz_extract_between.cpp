// extractBetween on arbitrary bytes and delimiters.
// Input: byte 0 is the open delimiter, byte 1 the close one, the rest the
// text.
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "text/gbk_text.h"

namespace {

using zelvo::fuzz::characters;

// The items read off the text's characters as the contract states it: from
// the first `open` character, over any run of them, to the next `close`
// character; then on after that close.
[[nodiscard]] std::vector<std::string> expectedItems(const std::string& text, char open, char close)
{
    const std::vector<std::string> all = characters(text);
    const std::string openCharacter(1, open);
    const std::string closeCharacter(1, close);
    const auto findFrom = [&](const std::string& wanted, size_t index) {
        while (index < all.size() && all[index] != wanted) {
            ++index;
        }
        return index;
    };

    std::vector<std::string> items;
    for (size_t openIndex = findFrom(openCharacter, 0); openIndex < all.size();) {
        const size_t closeIndex = findFrom(closeCharacter, openIndex + 1);
        if (closeIndex == all.size()) {
            break;
        }
        size_t start = openIndex + 1;
        while (start < closeIndex && all[start] == openCharacter) {
            ++start;
        }
        std::string item;
        for (size_t index = start; index < closeIndex; ++index) {
            item += all[index];
        }
        items.push_back(item);
        openIndex = findFrom(openCharacter, closeIndex + 1);
    }
    return items;
}

void checkItems(const std::string& text, char open, char close)
{
    const std::vector<std::string> items = zelvo::extractBetween(text, open, close);
    const std::vector<bool> starts = zelvo::fuzz::characterStarts(text);
    size_t searchFrom = 0;
    for (const std::string& item : items) {
        // Each item is a whole-character piece of the text, in text order,
        // and never holds its close delimiter.
        const size_t at = zelvo::fuzz::firstAlignedMatch(text, starts, item, searchFrom);
        FUZZ_CHECK(at != std::string::npos);
        for (const std::string& character : characters(item)) {
            FUZZ_CHECK(character != std::string(1, close));
        }
        searchFrom = at + item.size();
    }
    FUZZ_CHECK(items == expectedItems(text, open, close));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2) {
        return 0;
    }
    const auto open = static_cast<char>(data[0]);
    const auto close = static_cast<char>(data[1]);
    const std::string text(reinterpret_cast<const char*>(data + 2), size - 2);
    checkItems(text, open, close);
    return 0;
}
