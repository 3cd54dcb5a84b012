#include "text/order_texts.h"

#include <climits>
#include <cstdio>

#include "text/gbk_text.h"

namespace zelvo {
namespace {

// Large enough for any double in fixed notation: DBL_MAX with sign, 309
// integer digits and three decimals is 314 bytes.
constexpr size_t priceBufferSize = 512;

[[nodiscard]] bool tradesInThousandths(const std::string& code) noexcept
{
    return !code.empty() && (code[0] == '1' || code[0] == '5');
}

// The decimal value of a run of ASCII digits; 0 when it does not fit an
// int. A clamped number would be another order's number, which a caller
// could cancel by; 0 says "a number the result cannot hold", and the
// prompt's text, which the caller gets with it, holds the whole number.
[[nodiscard]] int decimalOrZero(const std::string& digits) noexcept
{
    long long value = 0;
    for (const char digit : digits) {
        value = value * 10 + (digit - '0');
        if (value > INT_MAX) {
            return 0;
        }
    }
    return static_cast<int>(value);
}

}  // namespace

std::string priceText(const std::string& code, double price)
{
    char buffer[priceBufferSize] = {};
    const int written = tradesInThousandths(code) ? std::snprintf(buffer, sizeof buffer, "%.3f", price)
                                                  : std::snprintf(buffer, sizeof buffer, "%.2f", price);
    if (written < 0) {
        return {};
    }
    return buffer;
}

std::string quantityText(int quantity)
{
    return std::to_string(quantity);
}

int contractNumber(const std::string& promptText)
{
    const size_t phraseAt = findText(promptText, contractNumberPhrase);
    if (phraseAt == std::string::npos) {
        return -1;
    }
    return decimalOrZero(firstDigitRun(promptText.substr(phraseAt)));
}

}  // namespace zelvo
