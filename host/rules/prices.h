// The prices an order may carry: a whole number of the code's ticks. The
// client takes a price with two decimals, or three for codes that begin with
// 1 or 5 (funds and bonds trade in thousandths), and zelvo.dll writes it so
// (its priceText). A price between ticks would be sent rounded while the
// record kept it as given, and reconciliation would then look for a price no
// list shows. No Windows header.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace zelvo_host {

// The highest price an order may carry.
inline constexpr double maxOrderPrice = 1e9;

// The decimals of the code's prices: 3 or 2.
[[nodiscard]] int priceDecimals(std::string_view code);
// The code's tick as text: "0.01" or "0.001".
[[nodiscard]] std::string tickText(std::string_view code);

// The price as the nearest whole number of ticks, exactly as the client is
// sent it; none when it is not above 0, is above maxOrderPrice, or lies
// between two ticks.
[[nodiscard]] std::optional<double> priceOnTick(std::string_view code, double price);

// The price rounded to the code's tick as zelvo.dll rounds it: the price the
// client was sent for an order recorded with more decimals (a journal of an
// older service).
[[nodiscard]] double priceAsSent(std::string_view code, double price);

}  // namespace zelvo_host
