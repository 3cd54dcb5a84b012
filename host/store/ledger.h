// The one place where the service's trading state changes: each change is
// an entry (rules/journal_entries.h) written to the journal as one line and
// then applied to the state (rules/trading_state.h), and whoever observes
// the ledger is told of it. At start
// the journal's lines are applied again, which rebuilds the state as it was.
// Used from the service thread only.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "store/journal.h"
#include "rules/json_types.h"
#include "rules/trading_state.h"

namespace zelvo_host {

class Ledger {
public:
    // Sees every line once it is applied (written, or applied unwritten by
    // commitAlways). It must not change the ledger.
    using Observer = std::function<void(const Json& line)>;

    // Opens the journal and rebuilds the state from its lines, with their
    // times on this process's steady clock; a line that is no JSON object
    // (one cut off by a power loss) is counted and left out. When the
    // snapshot at `snapshotPath` is one of this journal (the line it ends at
    // is there, with the sequence number it names), the state is the
    // snapshot's and only the lines after it are read; else the whole
    // journal is. False when the journal cannot be read or written.
    [[nodiscard]] bool open(const std::wstring& path, const std::wstring& snapshotPath);
    // Writes the state and what it was built from (the journal up to its
    // present end) as the snapshot the next start reads; only when every
    // change applied was written. False when it was not written: the one
    // before, if any, still holds for the journal's first lines.
    [[nodiscard]] bool writeSnapshot(const std::wstring& snapshotPath) const;

    [[nodiscard]] const TradingState& state() const { return state_; }
    // The journal's lines at start, those of them a snapshot stood for (0
    // when the whole journal was read), and how long reading the snapshot
    // and the lines and rebuilding the state took.
    [[nodiscard]] std::int64_t linesRead() const { return lines_; }
    [[nodiscard]] std::int64_t snapshotLines() const { return snapshotLines_; }
    [[nodiscard]] std::int64_t readMs() const { return readMs_; }
    // The damaged lines the journal held at start, by line number (from 1).
    [[nodiscard]] int damagedLines() const { return static_cast<int>(damaged_.size()); }
    [[nodiscard]] const std::vector<std::int64_t>& damagedLineNumbers() const { return damaged_; }
    // The last line, when it was damaged: only it can have been cut off by a
    // power loss.
    [[nodiscard]] std::optional<std::int64_t> tornLine() const;
    // The first damaged line with lines after it that no earlier start
    // reported (as cut off at the end, or by halting): it may have held an
    // order sent or a halt, so the service starts halted.
    [[nodiscard]] std::optional<std::int64_t> unreportedDamage() const;

    // Writes `entry` as the next line (with its sequence number, the local
    // time and the time in ms since 1970) and applies it. The line's
    // sequence number, or -1 when it could not be written: the state is then
    // unchanged and the caller must not act.
    [[nodiscard]] std::int64_t commit(Json entry);
    // Writes and applies the answer to the request numbered `seq`. The
    // request was acted on, so the answer is applied even when it cannot be
    // written (after a restart that order's outcome is then unknown); false
    // then.
    bool commitAnswer(std::int64_t seq, Json entry);
    // Applies `entry` even when it cannot be written: for the safety actions
    // (a halt, the switch firing), which must happen regardless. False when
    // it was not written.
    bool commitAlways(Json entry);

    void observe(Observer observer);

private:
    [[nodiscard]] Json stamped(std::int64_t seq, Json entry) const;
    [[nodiscard]] bool appended(const Json& line);
    void applied(const Json& line);
    // The byte of the journal after what the snapshot holds, with the state
    // and the counts set from it; 0 when there is no snapshot of this journal.
    [[nodiscard]] std::uint64_t resumeFromSnapshot(const std::wstring& path, const std::wstring& snapshotPath,
                                                   const ClockPair& clocks);

    Journal journal_;
    TradingState state_;
    std::int64_t lines_ = 0;
    std::int64_t snapshotLines_ = 0;
    std::int64_t linesWritten_ = 0;   // since the start
    std::int64_t lastWrittenSeq_ = 0;  // of the last line written since the start
    bool allWritten_ = true;          // every line since the start was written whole
    std::int64_t readMs_ = 0;
    std::vector<std::int64_t> damaged_;
    std::vector<Observer> observers_;
};

}  // namespace zelvo_host
