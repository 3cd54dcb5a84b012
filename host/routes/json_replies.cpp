#include "routes/json_replies.h"

#include <algorithm>

namespace zelvo_host {

HttpReply jsonReply(int status, const Json& body)
{
    return {status, dumpJson(body), {}};
}

HttpReply errorReply(int status, std::string_view code, std::string_view message)
{
    return jsonReply(status, errorBody(code, message));
}

std::optional<FieldProblem> unknownField(const Json& body, const std::vector<std::string_view>& known, std::string_view what)
{
    for (const auto& member : body.items()) {
        if (std::find(known.begin(), known.end(), member.key()) == known.end()) {
            return FieldProblem{"unknown_field", "unknown " + std::string(what) + ": " + member.key()};
        }
    }
    return std::nullopt;
}

FieldProblem badField(std::string message)
{
    return {"bad_field", std::move(message)};
}

HttpReply fieldRefusal(const FieldProblem& problem)
{
    return errorReply(400, problem.error, problem.message);
}

}  // namespace zelvo_host
