#include "client/confirmations.h"

#include <algorithm>
#include <vector>

#include "client/client_ui.h"
#include "text/gbk_text.h"

namespace zelvo {

namespace {

// Every value the message gives under one of the labels.
template <typename Labels>
[[nodiscard]] std::vector<std::string> valuesUnder(const std::string& message, const Labels& labels)
{
    std::vector<std::string> values;
    for (const char* label : labels) {
        const std::vector<std::string> found = labelledValues(message, label);
        values.insert(values.end(), found.begin(), found.end());
    }
    return values;
}

[[nodiscard]] std::string withoutLeadingZeros(const std::string& digits)
{
    const size_t first = digits.find_first_not_of('0');
    return first == std::string::npos ? std::string("0") : digits.substr(first);
}

}  // namespace

Confirmation confirmationOf(const std::string& title, const std::string& message)
{
    if (containsText(message, client_ui::cancelConfirmationMarker)) {
        return Confirmation::Cancel;
    }
    if (containsText(title, client_ui::tradeConfirmTitle) || containsText(message, client_ui::operationLabel)) {
        return Confirmation::Trade;
    }
    return Confirmation::None;
}

bool namesOtherSecurity(const std::string& message, const std::string& code)
{
    // The code as a confirmation would show it: what the client keeps of a
    // code with other characters is read the same way.
    const std::string own = alphanumericRunAt(code, 0);
    const std::vector<std::string> named = valuesUnder(message, client_ui::securityCodeLabels);
    return std::any_of(named.begin(), named.end(), [&](const std::string& value) { return value != own; });
}

bool namesOtherOrder(const std::string& message, int orderNo)
{
    const std::string own = withoutLeadingZeros(std::to_string(orderNo));
    const std::vector<std::string> named = valuesUnder(message, client_ui::orderNumberLabels);
    return std::any_of(named.begin(), named.end(),
                       [&](const std::string& value) { return withoutLeadingZeros(value) != own; });
}

}  // namespace zelvo
