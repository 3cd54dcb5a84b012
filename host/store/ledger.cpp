#include "store/ledger.h"

#include "store/clock.h"
#include "store/snapshot_file.h"

namespace zelvo_host {

bool Ledger::open(const std::wstring& path, const std::wstring& snapshotPath)
{
    const ClockPair clocks{now().epochMs, steadyMs()};
    const std::uint64_t from = resumeFromSnapshot(path, snapshotPath, clocks);
    const bool opened = journal_.open(
        path,
        [this, &clocks](std::string_view text) {
            ++lines_;
            if (applyJournalLine(state_, text, clocks) == LineTaken::Damaged) {
                damaged_.push_back(lines_);
            }
        },
        from);
    readMs_ = steadyMs() - clocks.steadyMs;
    return opened;
}

std::uint64_t Ledger::resumeFromSnapshot(const std::wstring& path, const std::wstring& snapshotPath, const ClockPair& clocks)
{
    const std::optional<Snapshot> snapshot = readSnapshot(snapshotPath);
    if (!snapshot) {
        return 0;
    }
    // The snapshot ends where the journal had the line of its sequence
    // number: a journal moved away, replaced or cut short does not have it.
    const std::optional<std::string> last = Journal::lineEndingAt(path, snapshot->journalBytes);
    bool tooDeep = false;
    const Json line = last ? parseBounded(*last, tooDeep) : Json(Json::value_t::discarded);
    if (!line.is_object() || memberOf(line, "seq") != snapshot->lastSeq) {
        return 0;
    }
    std::optional<TradingState> state = TradingState::fromSnapshot(snapshot->state, clocks);
    if (!state) {
        return 0;
    }
    state_ = std::move(*state);
    lines_ = snapshot->lines;
    snapshotLines_ = snapshot->lines;
    damaged_ = snapshot->damaged;
    return snapshot->journalBytes;
}

bool Ledger::writeSnapshot(const std::wstring& snapshotPath) const
{
    if (!allWritten_ || lastWrittenSeq_ == 0) {
        return false;
    }
    Snapshot snapshot;
    snapshot.journalBytes = journal_.size();
    snapshot.lines = lines_ + linesWritten_;
    snapshot.lastSeq = lastWrittenSeq_;
    snapshot.damaged = damaged_;
    snapshot.state = state_.snapshot(ClockPair{now().epochMs, steadyMs()});
    return writeSnapshotFile(snapshotPath, snapshot);
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

bool Ledger::appended(const Json& line)
{
    const bool written = journal_.append(dumpJson(line));
    if (written) {
        ++linesWritten_;
        lastWrittenSeq_ = memberOf(line, "seq").get<std::int64_t>();
    }
    allWritten_ = allWritten_ && written;
    return written;
}

std::int64_t Ledger::commit(Json entry)
{
    const std::int64_t seq = state_.nextSeq();
    const Json line = stamped(seq, std::move(entry));
    if (!appended(line)) {
        return -1;
    }
    applied(line);
    return seq;
}

bool Ledger::commitAnswer(std::int64_t seq, Json entry)
{
    const Json line = stamped(seq, std::move(entry));
    const bool written = appended(line);
    applied(line);
    return written;
}

bool Ledger::commitAlways(Json entry)
{
    const Json line = stamped(state_.nextSeq(), std::move(entry));
    const bool written = appended(line);
    applied(line);
    return written;
}

void Ledger::observe(Observer observer)
{
    observers_.push_back(std::move(observer));
}

}  // namespace zelvo_host
