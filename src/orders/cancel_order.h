// Cancelling an order from the client's today's-orders list (Zelvo_CancelOrder).
#pragma once
#include <string>

namespace zelvo {

// True when the client's cancel confirmation was reached and accepted;
// `message` gets the client's last prompt text or the reason.
[[nodiscard]] bool cancelOrder(int orderNo, std::string& message);

}  // namespace zelvo
