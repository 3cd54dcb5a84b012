// Placing an order through the client's order pages (Zelvo_SendOrder).
#pragma once
#include <string>

namespace zelvo {

// Places an order of kind 0-6 (OrderKind; any other kind is not supported).
// The contract number from the client's final prompt, or -1; `message` gets
// the prompt text or the reason.
[[nodiscard]] int sendOrder(int kind, std::string code, double price, int quantity, std::string& message);

}  // namespace zelvo
