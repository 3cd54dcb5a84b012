// The JSON type of the service (nlohmann-json), its text, the reading of a
// whole number from it, and the body of a refusal.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace zelvo_host {

using Json = nlohmann::json;

// The whole number `value` holds when it lies within minimum..maximum; a
// JSON 100.0 is none.
[[nodiscard]] inline std::optional<std::int64_t> wholeWithin(const Json& value, std::int64_t minimum, std::int64_t maximum)
{
    if (!value.is_number_integer()) {
        return std::nullopt;
    }
    if (value.is_number_unsigned()) {
        const auto number = value.get<std::uint64_t>();
        return minimum >= 0 && number >= static_cast<std::uint64_t>(minimum) && number <= static_cast<std::uint64_t>(maximum)
                   ? std::optional<std::int64_t>(static_cast<std::int64_t>(number))
                   : std::nullopt;
    }
    const auto number = value.get<std::int64_t>();
    return number >= minimum && number <= maximum ? std::optional<std::int64_t>(number) : std::nullopt;
}

// `body` as text. The service's text is valid UTF-8; a stray byte would be
// replaced rather than throw.
[[nodiscard]] inline std::string dumpJson(const Json& body)
{
    return body.dump(-1, ' ', false, Json::error_handler_t::replace);
}

// {"ok": false, "error": code, "message": message}: the service's own
// refusals, as answered and as journalled.
[[nodiscard]] inline Json errorBody(std::string_view code, std::string_view message)
{
    return {{"ok", false}, {"error", code}, {"message", message}};
}

}  // namespace zelvo_host
