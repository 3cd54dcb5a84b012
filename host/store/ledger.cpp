#include "store/ledger.h"

#include "store/clock.h"

namespace zelvo_host {

bool Ledger::open(const std::wstring& path)
{
    return journal_.open(path, [this](std::string_view text) {
        if (text.empty()) {
            return;
        }
        const Json line = Json::parse(text, nullptr, false);
        if (line.is_discarded() || !line.is_object()) {
            ++damagedLines_;
            return;
        }
        try {
            state_.apply(line);
        } catch (...) {
            ++damagedLines_;  // members of types no service writes
        }
    });
}

Json Ledger::stamped(std::int64_t seq, Json event) const
{
    const Instant at = now();
    Json line = {{"seq", seq}, {"time", at.local}, {"epoch_ms", at.epochMs}};
    line.update(event);
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

std::int64_t Ledger::commit(Json event)
{
    const std::int64_t seq = state_.nextSeq();
    const Json line = stamped(seq, std::move(event));
    if (!journal_.append(line.dump(-1, ' ', false, Json::error_handler_t::replace))) {
        return -1;
    }
    applied(line);
    return seq;
}

bool Ledger::commitAnswer(std::int64_t seq, Json event)
{
    const Json line = stamped(seq, std::move(event));
    const bool written = journal_.append(line.dump(-1, ' ', false, Json::error_handler_t::replace));
    applied(line);
    return written;
}

bool Ledger::commitAlways(Json event)
{
    const Json line = stamped(state_.nextSeq(), std::move(event));
    const bool written = journal_.append(line.dump(-1, ' ', false, Json::error_handler_t::replace));
    applied(line);
    return written;
}

void Ledger::observe(Observer observer)
{
    observers_.push_back(std::move(observer));
}

}  // namespace zelvo_host
