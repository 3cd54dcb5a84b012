#include "store/ledger.h"

#include "store/clock.h"

namespace zelvo_host {

bool Ledger::open(const std::wstring& path)
{
    const ClockPair clocks{now().epochMs, steadyMs()};
    const bool opened = journal_.open(path, [this, &clocks](std::string_view text) {
        ++lines_;
        if (applyJournalLine(state_, text, clocks) == LineTaken::Damaged) {
            damaged_.push_back(lines_);
        }
    });
    readMs_ = steadyMs() - clocks.steadyMs;
    return opened;
}

std::optional<std::int64_t> Ledger::tornLine() const
{
    return !damaged_.empty() && damaged_.back() == lines_ ? std::optional<std::int64_t>(lines_) : std::nullopt;
}

std::optional<std::int64_t> Ledger::unreportedDamage() const
{
    for (const std::int64_t line : damaged_) {
        if (line != lines_ && state_.reportedDamage().count(line) == 0) {
            return line;
        }
    }
    return std::nullopt;
}

Json Ledger::stamped(std::int64_t seq, Json entry) const
{
    const Instant at = now();
    Json line = {{"seq", seq}, {"time", at.local}, {"epoch_ms", at.epochMs}};
    line.update(entry);
    return line;
}

void Ledger::applied(const Json& line)
{
    state_.apply(line, steadyMs());
    for (const Observer& observer : observers_) {
        try {
            observer(line);
        } catch (...) {
            // An observer's failure must not undo or stop a change already written.
        }
    }
}

std::int64_t Ledger::commit(Json entry)
{
    const std::int64_t seq = state_.nextSeq();
    const Json line = stamped(seq, std::move(entry));
    if (!journal_.append(dumpJson(line))) {
        return -1;
    }
    applied(line);
    return seq;
}

bool Ledger::commitAnswer(std::int64_t seq, Json entry)
{
    const Json line = stamped(seq, std::move(entry));
    const bool written = journal_.append(dumpJson(line));
    applied(line);
    return written;
}

bool Ledger::commitAlways(Json entry)
{
    const Json line = stamped(state_.nextSeq(), std::move(entry));
    const bool written = journal_.append(dumpJson(line));
    applied(line);
    return written;
}

void Ledger::observe(Observer observer)
{
    observers_.push_back(std::move(observer));
}

}  // namespace zelvo_host
