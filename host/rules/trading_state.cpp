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
    return serviceOrderIdPrefix + digits + "-" + std::to_string(seq);
}

void TradingState::apply(const Json& line)
{
    apply(line, integerOf(line, "epoch_ms", 0));
}

void TradingState::apply(const Json& line, std::int64_t steadyMs)
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
            applyOrderRequest(line, seq, integerOf(line, "epoch_ms", 0), steadyMs, time);
        } else if (route == cancelRoute && memberOf(line, "sends") == true) {
            countCancel(date, textOf(line, "code"));
        }
        break;
    }
    case EntryKind::Answer: applyOrderAnswer(line, seq); break;
    case EntryKind::Cancel: applyCancel(line, date); break;
    case EntryKind::CancelAll: applyCancelAll(line, steadyMs); break;
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
    case EntryKind::Halt: applyHalt(line, time); break;
    case EntryKind::Resume:
        halt_ = {};
        firing_.outstanding = false;  // the operator has taken over: later orders are not the switch's
        break;
    case EntryKind::Switch: applySwitch(line, steadyMs); break;
    case EntryKind::SwitchFired: applySwitchFired(line, time); break;
    case EntryKind::Start: {
        const std::int64_t torn = integerOf(line, "torn_line", 0);
        if (torn > 0) {
            reportedDamage_.insert(torn);
        }
        break;
    }
    }
}

void TradingState::applySwitch(const Json& line, std::int64_t steadyMs)
{
    // Armed by any count of seconds above 0: one beyond what the service
    // writes (a damaged journal) still arms it, and shows as many as fit.
    const std::int64_t seconds = integerOf(line, "seconds", 0);
    if (seconds <= 0) {
        switch_ = {};
        return;
    }
    const int shown = static_cast<int>(std::min<std::int64_t>(seconds, INT_MAX));
    // The countdown runs on the steady clock from the moment it was armed.
    const std::int64_t left = std::min<std::int64_t>(seconds, INT64_MAX / 4000) * 1000;
    switch_ = {true, shown, integerOf(line, "deadline_ms", 0), steadyMs + left};
}

void TradingState::applySwitchFired(const Json& line, const std::string& time)
{
    switch_ = {};
    firing_ = {};
    firing_.outstanding = true;
    firing_.seconds = static_cast<int>(std::clamp<std::int64_t>(integerOf(line, "seconds", 0), 0, INT_MAX));
    firing_.since = time;
}

void TradingState::applyCancel(const Json& line, const std::string& date)
{
    countCancel(date, textOf(line, "code"));
    if (firing_.outstanding && textOf(line, "by") == cancelByName(CancelBy::Switch) && memberOf(line, "ok") == true) {
        const std::int64_t number = integerOf(line, "number", -1);
        if (number >= 0 && number <= INT_MAX) {
            firing_.cancelled.insert(static_cast<int>(number));
        }
    }
}

void TradingState::applyCancelAll(const Json& line, std::int64_t steadyMs)
{
    if (!firing_.outstanding || textOf(line, "by") != cancelByName(CancelBy::Switch)) {
        return;  // a halt's cancel-all, or the record of a switch whose cancels are done
    }
    firing_.attempts = firing_.attempts < INT_MAX ? firing_.attempts + 1 : INT_MAX;
    firing_.lastMessage = textOf(line, "message");
    firing_.lastAttemptSteadyMs = steadyMs;
    // A journal of an older service marks no try done: its one try was the last.
    const Json& done = memberOf(line, "done");
    if (done == true || done.is_null()) {
        firing_.outstanding = false;
    }
}

void TradingState::applyHalt(const Json& line, const std::string& time)
{
    halt_ = {true, textOf(line, "reason"), time, textOf(line, "by")};
    const std::int64_t damaged = integerOf(line, "line", 0);
    if (damaged > 0) {
        reportedDamage_.insert(damaged);
    }
}

void TradingState::applyOrderRequest(const Json& line, std::int64_t seq, std::int64_t epochMs, std::int64_t steadyMs,
                                     const std::string& time)
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
    record.sentSteadyMs = steadyMs;
    record.time = time;
    // Until its answer is written: a request with no answer in the journal
    // was cut off inside zelvo.dll's call, and the order may be out.
    record.message = "the service recorded no answer for this order";
    ++ordersOn_[record.date()];
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
    if (number >= 0) {
        seen_.on(date).emplace(number, OrderNumberSeen{seq, code});  // order numbers start again each day
    }
}

void TradingState::countCancel(const std::string& date, const std::string& code)
{
    if (!code.empty()) {
        ++cancels_.on(date)[code];
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

OrderCounts TradingState::orderCounts(const std::string& date, std::int64_t steadyNowMs) const
{
    OrderCounts counts;
    const auto day = ordersOn_.find(date);
    counts.today = day == ordersOn_.end() ? 0 : day->second;
    const std::int64_t windowStart = steadyNowMs - static_cast<std::int64_t>(limits_.windowSeconds) * 1000;
    // Every record is looked at: the steady times of records of earlier runs
    // come from their wall times, which need not grow with the journal. (A
    // year of orders is looked through in well under a millisecond.)
    for (const OrderRecord& record : records_) {
        counts.inWindow += record.sentSteadyMs > windowStart && record.sentSteadyMs <= steadyNowMs ? 1 : 0;
    }
    return counts;
}

int TradingState::cancelsOf(const std::string& date, const std::string& code) const
{
    const std::map<std::string, int>* day = cancels_.of(date);
    if (day == nullptr) {
        return 0;
    }
    const auto found = day->find(code);
    return found == day->end() ? 0 : found->second;
}

std::map<std::string, int> TradingState::cancelCounts(const std::string& date) const
{
    const std::map<std::string, int>* day = cancels_.of(date);
    return day == nullptr ? std::map<std::string, int>() : *day;
}

std::optional<OrderNumberSeen> TradingState::seen(const std::string& date, int number) const
{
    const std::map<int, OrderNumberSeen>* day = seen_.of(date);
    if (day == nullptr) {
        return std::nullopt;
    }
    const auto found = day->find(number);
    return found == day->end() ? std::nullopt : std::optional<OrderNumberSeen>(found->second);
}

LineTaken applyJournalLine(TradingState& state, std::string_view text, const ClockPair& clocks)
{
    if (text.empty()) {
        return LineTaken::Empty;
    }
    bool tooDeep = false;
    const Json line = parseBounded(text, tooDeep);
    if (line.is_discarded() || !line.is_object()) {
        return LineTaken::Damaged;
    }
    try {
        state.apply(line, clocks.steadyOf(integerOf(line, "epoch_ms", clocks.wallMs)));
    } catch (...) {
        return LineTaken::Damaged;  // members of types no service writes
    }
    return LineTaken::Applied;
}

}  // namespace zelvo_host

namespace zelvo_host {

namespace {

constexpr std::int64_t firstRetryMs = 2000;
constexpr std::int64_t longestRetryMs = 30000;

}  // namespace

bool switchDue(const TradingState& state, std::int64_t steadyNowMs)
{
    const SwitchState& armed = state.deadMansSwitch();
    return armed.armed && steadyNowMs >= armed.deadlineSteadyMs;
}

bool switchRetryDue(const TradingState& state, std::int64_t steadyNowMs)
{
    const SwitchFiring& firing = state.switchFiring();
    if (!firing.outstanding) {
        return false;
    }
    if (firing.attempts == 0) {
        return true;  // fired, and stopped before its first try (a restart)
    }
    std::int64_t wait = firstRetryMs;
    for (int tried = 1; tried < firing.attempts && wait < longestRetryMs; ++tried) {
        wait *= 2;
    }
    return steadyNowMs - firing.lastAttemptSteadyMs >= std::min(wait, longestRetryMs);
}

}  // namespace zelvo_host
