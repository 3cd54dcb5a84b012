// JSON helpers shared by the route files.
#pragma once
#include <initializer_list>
#include <string>
#include <string_view>

#include "http/http_types.h"
#include "rules/json_types.h"

namespace zelvo_host {

// Serialises `body`; text is always valid UTF-8 here, and any stray byte
// would be replaced rather than throw.
[[nodiscard]] std::string dumpJson(const Json& body);

[[nodiscard]] HttpReply jsonReply(int status, const Json& body);

// {"ok": false, "error": code, "message": message}
[[nodiscard]] Json errorBody(std::string_view code, std::string_view message);
[[nodiscard]] HttpReply errorReply(int status, std::string_view code, std::string_view message);

// The first member of `body` not named in `known`, or empty text. Unknown
// members are refused so that a misspelt field (an "orderid" meant as the
// order id) is never silently ignored.
[[nodiscard]] std::string unknownMember(const Json& body, std::initializer_list<std::string_view> known);

}  // namespace zelvo_host
