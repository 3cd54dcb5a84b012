// Logout and the three status getters behind Zelvo_Logout, Zelvo_GetWndText,
// Zelvo_GetBroker and Zelvo_GetAccount. Each takes the session lock itself.
#pragma once
#include <string>

namespace zelvo {

void logout();
[[nodiscard]] std::string mainWindowTitle();
[[nodiscard]] std::string brokerName();
[[nodiscard]] std::string selectedAccount();

}  // namespace zelvo
