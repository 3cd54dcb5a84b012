// The JSON type of the service (nlohmann-json), its text, its parsing with a
// bound on nesting, the reading of a member and of a whole number from it,
// and the body of a refusal.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace zelvo_host {

using Json = nlohmann::json;

// The deepest nesting of arrays and objects the service reads, in a request's
// body or a journal line. Parsing does not recurse, but copying, comparing
// and writing a value do, once per level: 32,000 levels fit in a 64 KiB body
// and would overflow the stack of the thread that copies them.
inline constexpr int maxJsonDepth = 16;

// `text` parsed, or a discarded value when it is not JSON; `tooDeep` is set
// (and the value discarded) when it nests deeper than `maxDepth`. The bound
// is checked by the parser's callback, before any level beyond it is kept.
template <typename Text>
[[nodiscard]] Json parseBounded(const Text& text, bool& tooDeep, int maxDepth = maxJsonDepth)
{
    tooDeep = false;
    Json parsed = Json::parse(
        text,
        [&tooDeep, maxDepth](int depth, Json::parse_event_t event, Json&) {
            const bool opens = event == Json::parse_event_t::object_start || event == Json::parse_event_t::array_start;
            if (opens && depth >= maxDepth) {
                tooDeep = true;
            }
            return !tooDeep;
        },
        false);
    if (tooDeep) {
        return Json(Json::value_t::discarded);
    }
    return parsed;
}

// The member `name` of `object` by reference, or null when it has none (or
// `object` is no object). Members are read this way and their type checked
// before they are used: nothing is copied on the way.
[[nodiscard]] inline const Json& memberOf(const Json& object, std::string_view name)
{
    static const Json none;
    if (!object.is_object()) {
        return none;
    }
    const auto found = object.find(name);
    return found != object.end() ? *found : none;
}

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
