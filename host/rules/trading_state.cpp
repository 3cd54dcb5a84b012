#include "rules/trading_state.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace zelvo_host {

namespace {

// Members read from a journal line, with a fallback for one that is missing
// or of another type (a line of an older service, or one damaged).
[[nodiscard]] std::string textOf(const Json& object, const char* key)
{
    const auto found = object.find(key);
    return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

[[nodiscard]] std::int64_t integerOf(const Json& object, const char* key, std::int64_t fallback)
{
    const auto found = object.find(key);
    return found != object.end() && found->is_number_integer() ? found->get<std::int64_t>() : fallback;
}

[[nodiscard]] double numberOf(const Json& object, const char* key)
{
    const auto found = object.find(key);
    return found != object.end() && found->is_number() ? found->get<double>() : 0.0;
}

[[nodiscard]] const Json& memberOf(const Json& object, const char* key)
{
    static const Json none;
    const auto found = object.find(key);
    return found != object.end() ? *found : none;
}

[[nodiscard]] int contractOf(const Json& object)
{
    const std::int64_t contract = integerOf(object, "contract", -1);
    return contract >= 0 && contract <= 2147483647 ? static_cast<int>(contract) : -1;
}

}  // namespace

std::string serviceOrderId(const std::string& date, std::int64_t seq)
{
    std::string digits;
    std::copy_if(date.begin(), date.end(), std::back_inserter(digits), [](char c) { return c != '-'; });
    return "auto-" + digits + "-" + std::to_string(seq);
}

void TradingState::apply(const Json& line)
{
    const std::optional<EntryKind> kind = entryKindOf(line);
    const std::int64_t seq = integerOf(line, "seq", 0);
    const std::string time = textOf(line, "time");
    const std::string date = time.substr(0, 10);
    // A damaged journal may hold any number: the next one saturates, never overflows.
    nextSeq_ = std::max(nextSeq_, seq < INT64_MAX ? seq + 1 : seq);
    if (!kind) {
        return;
    }
    switch (*kind) {
    case EntryKind::Request: {
        const std::string route = textOf(line, "route");
        if (route == ordersRoute) {
            applyOrderRequest(line, seq, integerOf(line, "epoch_ms", 0), time);
        } else if (route == cancelRoute && memberOf(line, "sends") == true) {
            countCancel(date, textOf(line, "code"));
        }
        break;
    }
    case EntryKind::Answer: applyOrderAnswer(line, seq); break;
    case EntryKind::Cancel: countCancel(date, textOf(line, "code")); break;
    case EntryKind::Seen:
        for (const Json& order : memberOf(line, "orders")) {
            see(date, seq, static_cast<int>(integerOf(order, "number", -1)), textOf(order, "code"));
        }
        break;
    case EntryKind::Reconciled: applyReconciled(line, time); break;
    case EntryKind::Limits: {
        Limits read = limits_;
        if (readLimits(memberOf(line, "limits"), read).empty()) {
            limits_ = read;
        }
        break;
    }
    case EntryKind::Halt: halt_ = {true, textOf(line, "reason"), time, textOf(line, "by")}; break;
    case EntryKind::Resume: halt_ = {}; break;
    case EntryKind::Switch: {
        // Armed by any count of seconds above 0: one beyond what the service
        // writes (a damaged journal) still arms it, and shows as many as fit.
        const std::int64_t seconds = integerOf(line, "seconds", 0);
        switch_ = seconds > 0 ? SwitchState{true, static_cast<int>(std::min<std::int64_t>(seconds, INT_MAX)),
                                            integerOf(line, "deadline_ms", 0)}
                              : SwitchState{};
        break;
    }
    case EntryKind::SwitchFired: switch_ = {}; break;
    case EntryKind::CancelAll:
    case EntryKind::Start: break;  // a record of what happened; the state holds nothing of it
    }
}

void TradingState::applyOrderRequest(const Json& line, std::int64_t seq, std::int64_t epochMs, const std::string& time)
{
    const Json& request = memberOf(line, "request");
    std::string orderId = textOf(line, "order_id");
    if (orderId.empty()) {
        orderId = textOf(request, "order_id");
    }
    if (orderId.empty()) {
        orderId = serviceOrderId(time.substr(0, 10), seq);
    }
    // A journal of an older service marks no request that sends: each one
    // sent unless its id had a record already.
    const Json& sends = memberOf(line, "sends");
    if (recordIndex_.count(orderId) != 0 || (!sends.is_null() && sends != true)) {
        return;
    }
    OrderRecord record;
    record.orderId = orderId;
    record.callerId = !textOf(request, "order_id").empty();
    record.kind = textOf(request, "kind");
    record.code = textOf(request, "code");
    record.price = numberOf(request, "price");
    record.quantity = static_cast<int>(integerOf(request, "quantity", 0));
    record.seq = seq;
    record.sentMs = epochMs;
    record.time = time;
    // Until its answer is written: a request with no answer in the journal
    // was cut off inside zelvo.dll's call, and the order may be out.
    record.message = "the service recorded no answer for this order";
    recordIndex_[orderId] = records_.size();
    records_.push_back(std::move(record));
    awaitingAnswer_[seq] = orderId;
}

void TradingState::applyOrderAnswer(const Json& line, std::int64_t seq)
{
    const auto awaited = awaitingAnswer_.find(seq);
    if (awaited == awaitingAnswer_.end()) {
        return;  // the answer to a cancel, a repeat or a refusal
    }
    OrderRecord* record = find(awaited->second);
    awaitingAnswer_.erase(awaited);
    const Json& answer = memberOf(line, "answer");
    const std::optional<Outcome> outcome = outcomeNamed(textOf(answer, "outcome"));
    if (record == nullptr || !outcome) {
        return;
    }
    record->outcome = *outcome;
    record->contract = contractOf(answer);
    record->message = textOf(answer, "message");
    if (record->contract >= 0) {
        see(record->date(), seq, record->contract, record->code);
    }
}

void TradingState::applyReconciled(const Json& line, const std::string& time)
{
    OrderRecord* record = find(textOf(line, "order_id"));
    const std::optional<Outcome> outcome = outcomeNamed(textOf(line, "outcome"));
    if (record == nullptr || !outcome || record->outcome != Outcome::Unknown) {
        return;
    }
    record->outcome = *outcome;
    record->contract = *outcome == Outcome::Placed ? contractOf(line) : -1;
    record->note = textOf(line, "note");
    record->candidates = memberOf(line, "candidates").is_array() ? memberOf(line, "candidates") : Json::array();
    record->ambiguous = memberOf(line, "ambiguous") == true;
    record->reconciledAt = time;
}

void TradingState::see(const std::string& date, std::int64_t seq, int number, const std::string& code)
{
    if (number < 0) {
        return;
    }
    if (date != seenDate_) {
        seenDate_ = date;  // order numbers start again each day
        seen_.clear();
    }
    seen_.emplace(number, OrderNumberSeen{seq, code});
}

void TradingState::countCancel(const std::string& date, const std::string& code)
{
    if (date != cancelDate_) {
        cancelDate_ = date;
        cancels_.clear();
    }
    if (!code.empty()) {
        ++cancels_[code];
    }
}

OrderRecord* TradingState::find(const std::string& orderId)
{
    const auto found = recordIndex_.find(orderId);
    return found == recordIndex_.end() ? nullptr : &records_[found->second];
}

const OrderRecord* TradingState::record(const std::string& orderId) const
{
    const auto found = recordIndex_.find(orderId);
    return found == recordIndex_.end() ? nullptr : &records_[found->second];
}

std::vector<const OrderRecord*> TradingState::recordsOf(const std::string& date) const
{
    std::vector<const OrderRecord*> found;
    for (const OrderRecord& record : records_) {
        if (record.date() == date) {
            found.push_back(&record);
        }
    }
    return found;
}

int TradingState::unknownCount() const
{
    return static_cast<int>(std::count_if(records_.begin(), records_.end(),
                                          [](const OrderRecord& record) { return record.outcome == Outcome::Unknown; }));
}

OrderCounts TradingState::orderCounts(const std::string& date, std::int64_t nowMs) const
{
    OrderCounts counts;
    const std::int64_t windowStart = nowMs - static_cast<std::int64_t>(limits_.windowSeconds) * 1000;
    // Records are in the order they were sent: today's are the last ones.
    for (auto record = records_.rbegin(); record != records_.rend() && record->date() == date; ++record) {
        ++counts.today;
        counts.inWindow += record->sentMs > windowStart ? 1 : 0;
    }
    return counts;
}

int TradingState::cancelsOf(const std::string& date, const std::string& code) const
{
    if (date != cancelDate_) {
        return 0;
    }
    const auto found = cancels_.find(code);
    return found == cancels_.end() ? 0 : found->second;
}

std::map<std::string, int> TradingState::cancelCounts(const std::string& date) const
{
    return date == cancelDate_ ? cancels_ : std::map<std::string, int>();
}

std::optional<OrderNumberSeen> TradingState::seen(const std::string& date, int number) const
{
    if (date != seenDate_) {
        return std::nullopt;
    }
    const auto found = seen_.find(number);
    return found == seen_.end() ? std::nullopt : std::optional<OrderNumberSeen>(found->second);
}

LineTaken applyJournalLine(TradingState& state, std::string_view text)
{
    if (text.empty()) {
        return LineTaken::Empty;
    }
    const Json line = Json::parse(text, nullptr, false);
    if (line.is_discarded() || !line.is_object()) {
        return LineTaken::Damaged;
    }
    try {
        state.apply(line);
    } catch (...) {
        return LineTaken::Damaged;  // members of types no service writes
    }
    return LineTaken::Applied;
}

}  // namespace zelvo_host
