// The texts an order writes into the client's order page, and the contract
// number read back from the client's final prompt. Pure functions on GBK
// bytes; no Windows header, so they also build natively elsewhere.
#pragma once
#include <string>

namespace zelvo {

// "合同号是" (the contract number is), the phrase in the client's final
// prompt that the contract number follows. Written as GBK bytes so the
// text is the same whatever the compiler's execution character set.
inline constexpr char contractNumberPhrase[] = "\xBA\xCF\xCD\xAC\xBA\xC5\xCA\xC7";

// The price as the order page expects it: three decimals for codes whose
// first byte is '1' or '5' (funds and bonds trade in thousandths), two
// decimals otherwise. NaN and infinities give the C library's text.
[[nodiscard]] std::string priceText(const std::string& code, double price);

// The quantity in plain decimal, with a minus sign when negative.
[[nodiscard]] std::string quantityText(int quantity);

// The contract number stated in a prompt: -1 when the prompt lacks the
// phrase, otherwise the first digit run after it as a decimal number
// (0 when no digit follows, and 0 when the number exceeds an int: the
// prompt's text then holds the whole number).
[[nodiscard]] int contractNumber(const std::string& promptText);

}  // namespace zelvo
