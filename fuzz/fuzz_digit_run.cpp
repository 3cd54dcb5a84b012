// firstDigitRun and the contract number read from a prompt, on arbitrary
// bytes. Input: the prompt text.
#include <climits>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "text/order_texts.h"
#include "text/gbk_text.h"

namespace {

using zelvo::fuzz::allDigits;
using zelvo::fuzz::characterStarts;
using zelvo::fuzz::firstAlignedMatch;

[[nodiscard]] bool isDigit(char byte)
{
    return byte >= '0' && byte <= '9';
}

// Where the first digit that is a character of its own stands, or npos.
[[nodiscard]] size_t firstDigitCharacter(const std::string& text)
{
    const std::vector<bool> starts = characterStarts(text);
    for (size_t position = 0; position < text.size(); ++position) {
        if (starts[position] && isDigit(text[position])) {
            return position;
        }
    }
    return std::string::npos;
}

// The decimal value of a digit run as an int, 0 when it does not fit:
// judged by the number of significant digits, not by arithmetic.
[[nodiscard]] int valueOrZero(const std::string& digits)
{
    const size_t firstSignificant = digits.find_first_not_of('0');
    if (firstSignificant == std::string::npos) {
        return 0;
    }
    const std::string significant = digits.substr(firstSignificant);
    const std::string intMax = std::to_string(INT_MAX);
    if (significant.size() > intMax.size() || (significant.size() == intMax.size() && significant > intMax)) {
        return 0;
    }
    return std::stoi(significant);
}

void checkDigitRun(const std::string& text)
{
    const std::string run = zelvo::firstDigitRun(text);
    FUZZ_CHECK(allDigits(run));

    const size_t first = firstDigitCharacter(text);
    if (first == std::string::npos) {
        FUZZ_CHECK(run.empty());
        return;
    }
    // The run is where the first digit character is, and is the whole run.
    FUZZ_CHECK(!run.empty());
    FUZZ_CHECK(text.compare(first, run.size(), run) == 0);
    const size_t end = first + run.size();
    FUZZ_CHECK(end == text.size() || !isDigit(text[end]));
}

void checkContractNumber(const std::string& text)
{
    const int number = zelvo::contractNumber(text);
    const size_t phraseAt = firstAlignedMatch(text, zelvo::contractNumberPhrase, 0);
    if (phraseAt == std::string::npos) {
        FUZZ_CHECK(number == -1);
        return;
    }
    FUZZ_CHECK(number >= 0);
    const std::string afterPhrase = text.substr(phraseAt);
    const size_t first = firstDigitCharacter(afterPhrase);
    if (first == std::string::npos) {
        FUZZ_CHECK(number == 0);
        return;
    }
    size_t end = first;
    while (end < afterPhrase.size() && isDigit(afterPhrase[end])) {
        ++end;
    }
    FUZZ_CHECK(number == valueOrZero(afterPhrase.substr(first, end - first)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    checkDigitRun(text);
    checkContractNumber(text);
    return 0;
}
