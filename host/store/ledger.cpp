#include "store/ledger.h"

#include "store/clock.h"

namespace zelvo_host {

bool Ledger::open(const std::wstring& path)
{
    return journal_.open(path, [this](std::string_view text) {
        if (applyJournalLine(state_, text) == LineTaken::Damaged) {
            ++damagedLines_;
        }
    });
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
    state_.apply(line);
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
