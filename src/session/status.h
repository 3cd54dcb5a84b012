// Logout and the three status getters behind Zelvo_Logout, Zelvo_GetWndText,
// Zelvo_GetBroker and Zelvo_GetAccount. Each takes the session lock itself;
// the reads they make are the platform's windowText and comboSelectionText,
// which the attach step calls directly under the lock it already holds.
#pragma once
#include <string>

namespace zelvo {

void logout();
[[nodiscard]] std::string mainWindowTitle();
[[nodiscard]] std::string brokerName();
[[nodiscard]] std::string selectedAccount();

}  // namespace zelvo
