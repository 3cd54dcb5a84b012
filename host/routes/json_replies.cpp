#include "routes/json_replies.h"

#include <algorithm>

namespace zelvo_host {

std::string dumpJson(const Json& body)
{
    return body.dump(-1, ' ', false, Json::error_handler_t::replace);
}

HttpReply jsonReply(int status, const Json& body)
{
    return {status, dumpJson(body), {}};
}

Json errorBody(std::string_view code, std::string_view message)
{
    return {{"ok", false}, {"error", code}, {"message", message}};
}

HttpReply errorReply(int status, std::string_view code, std::string_view message)
{
    return jsonReply(status, errorBody(code, message));
}

std::string unknownMember(const Json& body, std::initializer_list<std::string_view> known)
{
    for (const auto& member : body.items()) {
        if (std::find(known.begin(), known.end(), member.key()) == known.end()) {
            return member.key();
        }
    }
    return {};
}

}  // namespace zelvo_host
