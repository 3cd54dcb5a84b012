// The routes' JSON replies, and the one check of a body's members.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "http/http_types.h"
#include "rules/json_types.h"

namespace zelvo_host {

[[nodiscard]] HttpReply jsonReply(int status, const Json& body);
// A reply of errorBody(code, message).
[[nodiscard]] HttpReply errorReply(int status, std::string_view code, std::string_view message);

// What is wrong with a request's body, answered 400 with its code:
// "unknown_field" for a member the route does not take, "bad_field" for one
// missing or wrong. The message names the member.
struct FieldProblem {
    std::string error;
    std::string message;
};

// The first member of `body` not named in `known`, as a problem whose
// message calls it a `what` ("unknown field: orderid"). Unknown members are
// refused so that a misspelt field (an "orderid" meant as the order id) is
// never silently ignored.
[[nodiscard]] std::optional<FieldProblem> unknownField(const Json& body, const std::vector<std::string_view>& known,
                                                       std::string_view what = "field");
[[nodiscard]] FieldProblem badField(std::string message);
[[nodiscard]] HttpReply fieldRefusal(const FieldProblem& problem);

}  // namespace zelvo_host
