#include "rules/journal_entries.h"

namespace zelvo_host {

namespace {

constexpr char kindMember[] = "event";

constexpr zelvo::KindName<CancelBy> cancelByNames[] = {
    {"caller", CancelBy::Caller},
    {"halt", CancelBy::Halt},
    {"switch", CancelBy::Switch},
};

[[nodiscard]] Json entry(EntryKind kind)
{
    return {{kindMember, entryKindName(kind)}};
}

}  // namespace

std::string_view entryKindName(EntryKind kind)
{
    for (const auto& entry : entryKindNames) {
        if (entry.kind == kind) {
            return entry.name;
        }
    }
    return {};
}

std::optional<EntryKind> entryKindOf(const Json& line)
{
    const auto found = line.find(kindMember);
    if (found == line.end() || !found->is_string()) {
        return std::nullopt;
    }
    return zelvo::kindNamed(entryKindNames, found->get_ref<const std::string&>());
}

const char* cancelByName(CancelBy by)
{
    for (const auto& entry : cancelByNames) {
        if (entry.kind == by) {
            return entry.name.data();
        }
    }
    return "caller";
}

namespace entries {

Json orderRequest(const Json& request, const std::string& orderId, bool sends)
{
    Json made = entry(EntryKind::Request);
    made.update({{"route", ordersRoute}, {"request", request}, {"sends", sends}});
    if (!orderId.empty()) {
        made["order_id"] = orderId;
    }
    return made;
}

Json cancelRequest(int number, const std::string& code, bool sends)
{
    Json made = entry(EntryKind::Request);
    made.update({{"route", cancelRoute}, {"request", {{"number", number}}}, {"sends", sends}});
    if (!code.empty()) {
        made["code"] = code;
    }
    return made;
}

Json request(const std::string& route, const Json& request)
{
    Json made = entry(EntryKind::Request);
    made.update({{"route", route}, {"request", request}});
    return made;
}

Json answer(int status, const Json& answer)
{
    Json made = entry(EntryKind::Answer);
    made.update({{"status", status}, {"answer", answer}});
    return made;
}

Json cancel(const ListedNumber& order, CancelBy by, bool ok, const std::string& message)
{
    Json made = entry(EntryKind::Cancel);
    made.update({{"number", order.number}, {"code", order.code}, {"by", cancelByName(by)}, {"ok", ok}, {"message", message}});
    return made;
}

Json cancelAllDone(CancelBy by, bool ok, const std::string& message)
{
    Json made = entry(EntryKind::CancelAll);
    made.update({{"by", cancelByName(by)}, {"ok", ok}, {"message", message}});
    return made;
}

Json switchCancels(int attempt, bool ok, bool done, const std::string& message)
{
    Json made = cancelAllDone(CancelBy::Switch, ok, message);
    made.update({{"attempt", attempt}, {"done", done}});
    return made;
}

Json seen(const std::vector<ListedNumber>& orders)
{
    Json listed = Json::array();
    for (const ListedNumber& order : orders) {
        listed.push_back({{"number", order.number}, {"code", order.code}});
    }
    Json made = entry(EntryKind::Seen);
    made["orders"] = listed;
    return made;
}

Json reconciled(const Reconciled& result)
{
    Json made = entry(EntryKind::Reconciled);
    made.update({{"order_id", result.orderId},
                 {"outcome", outcomeName(result.outcome)},
                 {"contract", result.contract},
                 {"note", result.note},
                 {"candidates", result.candidates},
                 {"ambiguous", result.ambiguous}});
    return made;
}

Json limits(const Limits& limits, const std::string& source)
{
    Json made = entry(EntryKind::Limits);
    made.update({{"limits", limitsJson(limits)}, {"source", source}});
    return made;
}

Json halt(const std::string& reason, const std::string& by)
{
    Json made = entry(EntryKind::Halt);
    made.update({{"reason", reason}, {"by", by}});
    return made;
}

Json journalDamaged(std::int64_t line)
{
    Json made = halt("journal damaged at line " + std::to_string(line), "journal");
    made["line"] = line;
    return made;
}

Json resume()
{
    return entry(EntryKind::Resume);
}

Json switchArmed(int seconds, std::int64_t deadlineMs)
{
    Json made = entry(EntryKind::Switch);
    made.update({{"seconds", seconds}, {"deadline_ms", deadlineMs}});
    return made;
}

Json switchFired(int seconds)
{
    Json made = entry(EntryKind::SwitchFired);
    made["seconds"] = seconds;
    return made;
}

Json start(const std::string& version, int damagedLines, std::optional<std::int64_t> tornLine)
{
    Json made = entry(EntryKind::Start);
    made.update({{"version", version}, {"damaged_lines", damagedLines}});
    if (tornLine) {
        made["torn_line"] = *tornLine;
    }
    return made;
}

}  // namespace entries

}  // namespace zelvo_host
