// The journal read back at start, on arbitrary bytes: each line taken into
// the trading state as the ledger takes it (applyJournalLine). A journal is
// the one input of the service that outlives it: a power loss cuts a line
// off, a person edits the file. Input: the journal's text, lines at LF.
#include <climits>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "rules/trading_state.h"

namespace {

using zelvo_host::Json;
using zelvo_host::LineTaken;
using zelvo_host::TradingState;

// What a restart must rebuild the same way every time.
struct Rebuilt {
    std::int64_t nextSeq = 0;
    int unknown = 0;
    std::size_t records = 0;
    bool halted = false;
    bool armed = false;
    std::string limits;
};

[[nodiscard]] std::vector<std::string_view> linesOf(const uint8_t* data, size_t size)
{
    std::vector<std::string_view> lines;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    size_t start = 0;
    for (size_t end = text.find('\n'); end != std::string_view::npos; end = text.find('\n', start)) {
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    lines.push_back(text.substr(start));
    return lines;
}

// Every date a record of the journal could have: the first ten bytes of
// each line's "time" as the state takes them, and none for a line without.
[[nodiscard]] std::set<std::string> datesOf(const std::vector<std::string_view>& lines)
{
    std::set<std::string> dates{""};
    for (const std::string_view text : lines) {
        const Json line = Json::parse(text, nullptr, false);
        if (line.is_object() && line.contains("time") && line["time"].is_string()) {
            dates.insert(line["time"].get<std::string>().substr(0, 10));
        }
    }
    return dates;
}

// Takes one line and checks what the state says of it.
void takeLine(TradingState& state, std::string_view text)
{
    const std::int64_t before = state.nextSeq();
    const LineTaken taken = zelvo_host::applyJournalLine(state, text);
    FUZZ_CHECK((taken == LineTaken::Empty) == text.empty());
    const Json parsed = Json::parse(text, nullptr, false);
    if (!text.empty() && !parsed.is_object()) {
        FUZZ_CHECK(taken == LineTaken::Damaged);
    }
    // Sequence numbers only grow: a later entry never reuses one.
    FUZZ_CHECK(state.nextSeq() >= before);
    FUZZ_CHECK(state.nextSeq() >= 1);
    if (taken == LineTaken::Applied && parsed.contains("seq") && parsed["seq"].is_number_integer()) {
        const Json& seq = parsed["seq"];
        const bool fits = seq.is_number_unsigned() ? seq.get<std::uint64_t>() < static_cast<std::uint64_t>(INT64_MAX)
                                                   : seq.get<std::int64_t>() < INT64_MAX;
        if (fits) {
            FUZZ_CHECK(state.nextSeq() > seq.get<std::int64_t>());
        }
    }
}

[[nodiscard]] Rebuilt rebuild(const std::vector<std::string_view>& lines, const std::set<std::string>& dates)
{
    TradingState state;
    for (const std::string_view text : lines) {
        takeLine(state, text);
    }
    Rebuilt rebuilt;
    rebuilt.nextSeq = state.nextSeq();
    rebuilt.unknown = state.unknownCount();
    rebuilt.halted = state.halt().halted;
    rebuilt.armed = state.deadMansSwitch().armed;
    rebuilt.limits = zelvo_host::dumpJson(zelvo_host::limitsJson(state.limits()));
    FUZZ_CHECK(!state.deadMansSwitch().armed || state.deadMansSwitch().seconds > 0);
    // The rolling window runs on the steady clock, across dates: the same
    // for whichever day is asked about, and never more than the records.
    const int inWindow = state.orderCounts("", 0).inWindow;
    for (const std::string& date : dates) {
        const std::vector<const zelvo_host::OrderRecord*> records = state.recordsOf(date);
        for (const zelvo_host::OrderRecord* record : records) {
            FUZZ_CHECK(record->date() == date);
            FUZZ_CHECK(state.record(record->orderId) == record);
            FUZZ_CHECK(record->contract >= -1);
        }
        rebuilt.records += records.size();
        const zelvo_host::OrderCounts counts = state.orderCounts(date, 0);
        FUZZ_CHECK(counts.today >= 0 && counts.inWindow == inWindow);
        for (const auto& [code, cancels] : state.cancelCounts(date)) {
            FUZZ_CHECK(!code.empty() && cancels > 0 && state.cancelsOf(date, code) == cancels);
        }
    }
    // Every record has a date among them, and an unknown outcome is a record's.
    FUZZ_CHECK(rebuilt.unknown >= 0 && static_cast<std::size_t>(rebuilt.unknown) <= rebuilt.records);
    FUZZ_CHECK(inWindow >= 0 && static_cast<std::size_t>(inWindow) <= rebuilt.records);
    return rebuilt;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::vector<std::string_view> lines = linesOf(data, size);
    const std::set<std::string> dates = datesOf(lines);
    const Rebuilt first = rebuild(lines, dates);
    const Rebuilt again = rebuild(lines, dates);
    FUZZ_CHECK(first.nextSeq == again.nextSeq && first.unknown == again.unknown && first.records == again.records);
    FUZZ_CHECK(first.halted == again.halted && first.armed == again.armed && first.limits == again.limits);
    return 0;
}
