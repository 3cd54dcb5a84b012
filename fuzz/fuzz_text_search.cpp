// The GBK-aware search and split on arbitrary bytes.
// Input: byte 0 is the search start, then the needle up to the first NUL,
// then the text. The needle doubles as the delimiter set of the split.
#include <algorithm>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "text/gbk_text.h"

namespace {

using zelvo::fuzz::characters;
using zelvo::fuzz::characterStarts;
using zelvo::fuzz::firstAlignedMatch;
using zelvo::fuzz::modelCharacterSize;

// The character primitives everything else stands on.
void checkCharacterRule(const std::string& text)
{
    for (const char byte : text) {
        const auto value = static_cast<unsigned char>(byte);
        FUZZ_CHECK(zelvo::isLeadByte(byte) == (value >= 0x81 && value <= 0xFE));
    }
    const std::vector<bool> starts = characterStarts(text);
    for (size_t position = 0; position < text.size(); ++position) {
        if (starts[position]) {
            FUZZ_CHECK(zelvo::characterSize(text, position) == modelCharacterSize(text, position));
        }
    }
    const std::vector<std::string> all = characters(text);
    const bool endsInLead = !all.empty() && all.back().size() == 1 &&
                            static_cast<unsigned char>(all.back()[0]) >= 0x81 &&
                            static_cast<unsigned char>(all.back()[0]) <= 0xFE;
    FUZZ_CHECK(zelvo::endsInLeadByte(text) == endsInLead);
}

void checkFind(const std::string& text, const std::string& needle, size_t from)
{
    const std::vector<bool> starts = characterStarts(text);
    const size_t found = zelvo::findText(text, needle, from);
    if (found != std::string::npos) {
        FUZZ_CHECK(found >= from);
        FUZZ_CHECK(found + needle.size() <= text.size());
        FUZZ_CHECK(starts[found] && starts[found + needle.size()]);
        FUZZ_CHECK(text.compare(found, needle.size(), needle) == 0);
    }
    // And no aligned occurrence before it was passed over.
    FUZZ_CHECK(found == firstAlignedMatch(text, starts, needle, from));
    const bool contained = firstAlignedMatch(text, starts, needle, 0) != std::string::npos;
    FUZZ_CHECK(zelvo::containsText(text, needle) == contained);
}

void checkSplit(const std::string& source, const std::string& delimiters)
{
    std::vector<std::string> tokens{"left over from an earlier call"};
    zelvo::splitText(tokens, source, delimiters);

    const std::vector<std::string> delimiterCharacters = characters(delimiters);
    const auto isDelimiter = [&](const std::string& character) {
        return std::find(delimiterCharacters.begin(), delimiterCharacters.end(), character) !=
               delimiterCharacters.end();
    };

    std::string joinedTokens;
    for (const std::string& token : tokens) {
        FUZZ_CHECK(!token.empty());
        for (const std::string& character : characters(token)) {
            FUZZ_CHECK(!isDelimiter(character));
        }
        joinedTokens += token;
    }

    // Nothing but the delimiters is dropped, nothing is reordered, and each
    // run between delimiters is exactly one token.
    std::string kept;
    size_t runs = 0;
    bool inRun = false;
    for (const std::string& character : characters(source)) {
        const bool delimiter = isDelimiter(character);
        if (!delimiter) {
            kept += character;
            runs += inRun ? 0 : 1;
        }
        inRun = !delimiter;
    }
    FUZZ_CHECK(joinedTokens == kept);
    FUZZ_CHECK(tokens.size() == runs);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) {
        return 0;
    }
    const size_t from = data[0];
    const std::vector<std::string> fields = zelvo::fuzz::splitFields(data + 1, size - 1, '\0', 2);
    const std::string& needle = fields[0];
    const std::string text = fields.size() > 1 ? fields[1] : std::string();

    checkCharacterRule(text);
    checkCharacterRule(needle);
    checkFind(text, needle, from);
    checkFind(text, needle, 0);
    checkSplit(text, needle);
    return 0;
}
