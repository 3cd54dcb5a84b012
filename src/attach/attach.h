// The attach step behind Zelvo_Login.
#pragma once
#include <string>

namespace zelvo {

// Binds the session to the trading client of this process. True when the
// session is attached; `message` then holds the welcome text, else the reason.
[[nodiscard]] bool attachClient(std::string password, std::string& message);

}  // namespace zelvo
