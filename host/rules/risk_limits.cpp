#include "rules/risk_limits.h"

#include <algorithm>
#include <cmath>

namespace zelvo_host {

namespace {

constexpr size_t maxCodeLength = 16;
constexpr size_t maxAllowedCodes = 10000;
constexpr double maxValueLimit = 1e15;

// One whole-number member: its name, where it goes, its range.
struct WholeMember {
    const char* name;
    int Limits::*field;
    int minimum;
    int maximum;
    const char* unit;  // for the message, e.g. "orders"
};

constexpr WholeMember wholeMembers[] = {
    {"max_order_quantity", &Limits::maxOrderQuantity, 1, 2147483647, "shares"},
    {"max_orders_per_window", &Limits::maxOrdersPerWindow, 1, 1000000, "orders"},
    {"window_seconds", &Limits::windowSeconds, 1, 86400, "seconds"},
    {"max_orders_per_day", &Limits::maxOrdersPerDay, 1, 10000000, "orders"},
    {"max_cancels_per_code_per_day", &Limits::maxCancelsPerCodePerDay, 1, 10000000, "cancels"},
    {"settle_seconds", &Limits::settleSeconds, 1, 3600, "seconds"},
};
constexpr char valueMember[] = "max_order_value";
constexpr char codesMember[] = "allowed_codes";

[[nodiscard]] std::string readWhole(const Json& value, const WholeMember& member, Limits& limits)
{
    const std::optional<std::int64_t> number = wholeWithin(value, member.minimum, member.maximum);
    if (!number) {
        return std::string(member.name) + " must be a whole number of " + member.unit + " from " +
               std::to_string(member.minimum) + " to " + std::to_string(member.maximum);
    }
    limits.*member.field = static_cast<int>(*number);
    return {};
}

[[nodiscard]] std::string readCodes(const Json& value, Limits& limits)
{
    if (value.is_null()) {
        limits.allowedCodes.reset();
        return {};
    }
    const std::string problem = std::string(codesMember) + " must be null (every code) or a list of at most " +
                                std::to_string(maxAllowedCodes) + " codes of 1-16 letters, digits or dots";
    if (!value.is_array() || value.size() > maxAllowedCodes) {
        return problem;
    }
    std::vector<std::string> codes;
    for (const Json& code : value) {
        if (!code.is_string() || !isSecurityCode(code.get<std::string>())) {
            return problem;
        }
        codes.push_back(code.get<std::string>());
    }
    limits.allowedCodes = std::move(codes);
    return {};
}

[[nodiscard]] std::string readMember(const std::string& name, const Json& value, Limits& limits)
{
    if (name == valueMember) {
        if (!value.is_number() || !std::isfinite(value.get<double>()) || value.get<double>() <= 0.0 ||
            value.get<double>() > maxValueLimit) {
            return std::string(valueMember) + " must be a number above 0 and at most 1e15";
        }
        limits.maxOrderValue = value.get<double>();
        return {};
    }
    if (name == codesMember) {
        return readCodes(value, limits);
    }
    for (const WholeMember& member : wholeMembers) {
        if (name == member.name) {
            return readWhole(value, member, limits);
        }
    }
    return "unknown limit: " + name;
}

[[nodiscard]] RiskRefusal refusal(std::string limit, Json value, Json current, std::string message)
{
    return {std::move(limit), std::move(value), std::move(current), std::move(message) + "; nothing was sent to the client"};
}

}  // namespace

bool isSecurityCode(const std::string& code)
{
    return !code.empty() && code.size() <= maxCodeLength && std::all_of(code.begin(), code.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '.';
    });
}

std::string readLimits(const Json& given, Limits& limits)
{
    if (!given.is_object()) {
        return "the limits must be a JSON object";
    }
    Limits read = limits;
    const std::vector<std::string_view> known = limitNames();
    for (const auto& member : given.items()) {
        if (std::find(known.begin(), known.end(), member.key()) == known.end()) {
            return "unknown limit: " + member.key();
        }
        if (std::string problem = readMember(member.key(), member.value(), read); !problem.empty()) {
            return problem;
        }
    }
    limits = std::move(read);
    return {};
}

std::vector<std::string_view> limitNames()
{
    std::vector<std::string_view> names;
    for (const WholeMember& member : wholeMembers) {
        names.emplace_back(member.name);
    }
    names.emplace_back(valueMember);
    names.emplace_back(codesMember);
    return names;
}

Json limitsJson(const Limits& limits)
{
    Json json = Json::object();
    for (const WholeMember& member : wholeMembers) {
        json[member.name] = limits.*member.field;
    }
    json[valueMember] = limits.maxOrderValue;
    json[codesMember] = limits.allowedCodes ? Json(*limits.allowedCodes) : Json();
    return json;
}

std::optional<RiskRefusal> checkOrder(const Limits& limits, const std::string& code, double price, int quantity,
                                      const OrderCounts& counts)
{
    if (limits.allowedCodes &&
        std::find(limits.allowedCodes->begin(), limits.allowedCodes->end(), code) == limits.allowedCodes->end()) {
        return refusal(codesMember, *limits.allowedCodes, code, "risk limit allowed_codes: " + code + " is not among the codes allowed");
    }
    if (quantity > limits.maxOrderQuantity) {
        return refusal("max_order_quantity", limits.maxOrderQuantity, quantity,
                       "risk limit max_order_quantity: " + std::to_string(quantity) + " is more than " +
                           std::to_string(limits.maxOrderQuantity) + " shares in one order");
    }
    const double value = price * quantity;
    if (value > limits.maxOrderValue) {
        return refusal(valueMember, limits.maxOrderValue, value,
                       "risk limit max_order_value: price x quantity is " + Json(value).dump() + ", more than " +
                           Json(limits.maxOrderValue).dump());
    }
    if (counts.today >= limits.maxOrdersPerDay) {
        return refusal("max_orders_per_day", limits.maxOrdersPerDay, counts.today,
                       "risk limit max_orders_per_day: " + std::to_string(counts.today) + " orders were sent today, the most allowed");
    }
    if (counts.inWindow >= limits.maxOrdersPerWindow) {
        return refusal("max_orders_per_window", limits.maxOrdersPerWindow, counts.inWindow,
                       "risk limit max_orders_per_window: " + std::to_string(counts.inWindow) + " orders were sent in the last " +
                           std::to_string(limits.windowSeconds) + " s, the most allowed");
    }
    return std::nullopt;
}

std::optional<RiskRefusal> checkCancel(const Limits& limits, const std::string& code, int cancelsToday)
{
    if (cancelsToday >= limits.maxCancelsPerCodePerDay) {
        return refusal("max_cancels_per_code_per_day", limits.maxCancelsPerCodePerDay, cancelsToday,
                       "risk limit max_cancels_per_code_per_day: " + std::to_string(cancelsToday) + " cancels of " + code +
                           " were sent today, the most allowed");
    }
    return std::nullopt;
}

}  // namespace zelvo_host
