// Reading the client's query pages (Zelvo_QueryData).
#pragma once
#include <string>

namespace zelvo {

// Runs query kind 0-11 (QueryKind; any other kind is not supported) and
// returns the funds line (0-2), the currency summary (10) or the page's list
// as table text; empty on failure. `message` gets the status text,
// "共1条"/"共3条" for the funds kinds, or the reason: "未登录", "不支持",
// the client's prompt or message row, or "查询超时".
[[nodiscard]] std::string queryData(int kind, std::string& message);

}  // namespace zelvo
