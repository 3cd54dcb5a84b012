// The trading state as bytes and back: what a start writes beside the
// journal so that the next start reads it and only the lines after it. The
// order records, some 180,000 in a year, are written field by field
// (rules/byte_codec.h); the rest, a few days' counts, as one JSON text.
#include <climits>

#include "rules/byte_codec.h"
#include "rules/trading_state.h"

namespace zelvo_host {

namespace {

constexpr int snapshotFormat = 1;

void writeRecord(ByteWriter& out, const OrderRecord& record)
{
    out.text(record.orderId);
    out.flag(record.callerId);
    out.text(record.kind);
    out.text(record.code);
    out.f64(record.price);
    out.i64(record.quantity);
    out.i64(record.seq);
    out.i64(record.sentMs);
    out.text(record.time);
    out.text(outcomeName(record.outcome));
    out.i64(record.contract);
    out.text(record.message);
    out.text(record.reconciledAt);
    out.text(record.note);
    out.text(record.candidates.empty() ? std::string() : dumpJson(record.candidates));
    out.flag(record.ambiguous);
}

// The next record of `in`, or none when its bytes are not a record's.
[[nodiscard]] std::optional<OrderRecord> readRecord(ByteReader& in, const ClockPair& clocks)
{
    OrderRecord record;
    record.orderId = in.text();
    record.callerId = in.flag();
    record.kind = in.text();
    record.code = in.text();
    record.price = in.f64();
    const std::int64_t quantity = in.i64();
    record.seq = in.i64();
    record.sentMs = in.i64();
    record.sentSteadyMs = clocks.steadyOf(record.sentMs);  // as a read of its journal line makes it
    record.time = in.text();
    const std::optional<Outcome> outcome = outcomeNamed(in.text());
    const std::int64_t contract = in.i64();
    record.message = in.text();
    record.reconciledAt = in.text();
    record.note = in.text();
    const std::string candidates = in.text();
    record.ambiguous = in.flag();
    if (!in.ok() || !outcome || quantity < 0 || quantity > INT_MAX || contract < -1 || contract > INT_MAX) {
        return std::nullopt;
    }
    record.quantity = static_cast<int>(quantity);
    record.outcome = *outcome;
    record.contract = static_cast<int>(contract);
    if (!candidates.empty()) {
        bool tooDeep = false;
        record.candidates = parseBounded(candidates, tooDeep);
        if (!record.candidates.is_array()) {
            return std::nullopt;
        }
    }
    return record;
}

}  // namespace

std::string TradingState::snapshot(const ClockPair& clocks) const
{
    Json awaiting = Json::array();
    for (const auto& [seq, orderId] : awaitingAnswer_) {
        awaiting.push_back({seq, orderId});
    }
    Json seen = Json::array();
    for (const std::string& date : seen_.dates()) {
        Json numbers = Json::array();
        for (const auto& [number, first] : *seen_.of(date)) {
            numbers.push_back({number, first.seq, first.code});
        }
        seen.push_back({date, numbers});
    }
    Json cancels = Json::array();
    for (const std::string& date : cancels_.dates()) {
        cancels.push_back({date, *cancels_.of(date)});
    }
    const Json rest = {
        {"next_seq", nextSeq_},
        {"orders_on", ordersOn_},
        {"awaiting_answer", awaiting},
        {"seen", seen},
        {"cancels", cancels},
        {"limits", limitsJson(limits_)},
        {"halt", {halt_.halted, halt_.reason, halt_.since, halt_.by}},
        {"switch", {switch_.armed, switch_.seconds, switch_.deadlineMs, clocks.wallOf(switch_.deadlineSteadyMs)}},
        {"firing", {firing_.outstanding, firing_.seconds, firing_.since, firing_.attempts, firing_.lastMessage,
                    clocks.wallOf(firing_.lastAttemptSteadyMs), firing_.cancelled}},
        {"reported_damage", reportedDamage_}};
    ByteWriter out;
    out.u64(snapshotFormat);
    out.text(dumpJson(rest));
    out.u64(records_.size());
    for (const OrderRecord& record : records_) {
        writeRecord(out, record);
    }
    return std::move(out.bytes());
}

std::optional<TradingState> TradingState::fromSnapshot(std::string_view bytes, const ClockPair& clocks)
{
    ByteReader in(bytes);
    if (in.u64() != snapshotFormat) {
        return std::nullopt;
    }
    bool tooDeep = false;
    const Json snapshot = parseBounded(in.text(), tooDeep);
    if (!in.ok() || !snapshot.is_object()) {
        return std::nullopt;
    }
    try {
        TradingState state;
        const std::uint64_t records = in.u64();
        for (std::uint64_t index = 0; in.ok() && index < records; ++index) {
            std::optional<OrderRecord> record = readRecord(in, clocks);
            if (!record || state.recordIndex_.count(record->orderId) != 0) {
                return std::nullopt;
            }
            state.recordIndex_[record->orderId] = state.records_.size();
            state.records_.push_back(std::move(*record));
        }
        if (!in.ok() || !in.rest().empty()) {
            return std::nullopt;
        }
        state.nextSeq_ = snapshot.at("next_seq").get<std::int64_t>();
        state.ordersOn_ = snapshot.at("orders_on").get<std::map<std::string, int>>();
        for (const Json& awaiting : snapshot.at("awaiting_answer")) {
            state.awaitingAnswer_[awaiting.at(0).get<std::int64_t>()] = awaiting.at(1).get<std::string>();
        }
        for (const Json& day : snapshot.at("seen")) {
            std::map<int, OrderNumberSeen>& numbers = state.seen_.on(day.at(0).get<std::string>());
            for (const Json& number : day.at(1)) {
                numbers[number.at(0).get<int>()] = {number.at(1).get<std::int64_t>(), number.at(2).get<std::string>()};
            }
        }
        for (const Json& day : snapshot.at("cancels")) {
            state.cancels_.on(day.at(0).get<std::string>()) = day.at(1).get<std::map<std::string, int>>();
        }
        if (!readLimits(snapshot.at("limits"), state.limits_).empty()) {
            return std::nullopt;
        }
        const Json& halt = snapshot.at("halt");
        state.halt_ = {halt.at(0).get<bool>(), halt.at(1).get<std::string>(), halt.at(2).get<std::string>(),
                       halt.at(3).get<std::string>()};
        const Json& armed = snapshot.at("switch");
        state.switch_ = {armed.at(0).get<bool>(), armed.at(1).get<int>(), armed.at(2).get<std::int64_t>(),
                         clocks.steadyOf(armed.at(3).get<std::int64_t>())};
        const Json& firing = snapshot.at("firing");
        state.firing_.outstanding = firing.at(0).get<bool>();
        state.firing_.seconds = firing.at(1).get<int>();
        state.firing_.since = firing.at(2).get<std::string>();
        state.firing_.attempts = firing.at(3).get<int>();
        state.firing_.lastMessage = firing.at(4).get<std::string>();
        state.firing_.lastAttemptSteadyMs = clocks.steadyOf(firing.at(5).get<std::int64_t>());
        state.firing_.cancelled = firing.at(6).get<std::set<int>>();
        state.reportedDamage_ = snapshot.at("reported_damage").get<std::set<std::int64_t>>();
        return state;
    } catch (...) {
        return std::nullopt;  // a member missing or of another type: not a snapshot this service wrote
    }
}

}  // namespace zelvo_host
