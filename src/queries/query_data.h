// Reading the client's query pages (Zelvo_QueryData).
#pragma once
#include <string>

namespace zelvo {

// Runs query kind 0-11 and returns the funds line, the currency summary or
// the page's list as table text; empty on failure. `message` gets the status
// text or the reason.
[[nodiscard]] std::string queryData(int kind, std::string& message);

}  // namespace zelvo
