// Telling the client's confirmations apart. Accepting a confirmation is what
// sends an order, or withdraws one. Since every wait of the library is
// bounded, a confirmation can come up after the call that caused it has
// given up and returned, while another call waits: every wait therefore
// decides, before it clicks a prompt, whether that prompt is a confirmation
// and whether it is its own.
#pragma once
#include <string>

namespace zelvo {

enum class Confirmation {
    None,   // any other prompt: an answer, a refusal, a notice
    Trade,  // an order's: "交易确认" in its title, or "操作类别" in its message
    Cancel, // a cancel's: "操作类别: 撤单" in its message
};

// What a prompt with this title and message asks to confirm.
[[nodiscard]] Confirmation confirmationOf(const std::string& title, const std::string& message);

// Whether a confirmation's message names a security other than `code` (its
// letters and digits, up to anything else). One that names no security
// names no other.
[[nodiscard]] bool namesOtherSecurity(const std::string& message, const std::string& code);

// Whether a cancel confirmation's message names an order other than
// `orderNo` (leading zeros aside). One that names no order names no other.
[[nodiscard]] bool namesOtherOrder(const std::string& message, int orderNo);

}  // namespace zelvo
