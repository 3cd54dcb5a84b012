// The snapshot beside the journal (journal-PORT.snapshot): the trading state
// as a start rebuilt it, with the place in the journal it was built up to, so
// that the next start reads it and only the journal's lines after it. The
// journal stays the record: a snapshot that does not match it is not used,
// and deleting the snapshot only makes the next start read the whole journal.
// Written at each start, as bytes (rules/byte_codec.h): a year of records
// reads in a fraction of the time their JSON lines take.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zelvo_host {

struct Snapshot {
    std::uint64_t journalBytes = 0;     // the journal's bytes it holds, whole lines
    std::int64_t lines = 0;             // their lines
    std::int64_t lastSeq = 0;           // the sequence number of the last of them
    std::vector<std::int64_t> damaged;  // their damaged lines, by number
    std::string state;                  // TradingState::snapshot
};

// The snapshot's file for the journal at `journalPath`.
[[nodiscard]] std::wstring snapshotPathOf(const std::wstring& journalPath);

// None when there is no file, or it cannot be read or is not a snapshot.
[[nodiscard]] std::optional<Snapshot> readSnapshot(const std::wstring& path);
[[nodiscard]] bool writeSnapshotFile(const std::wstring& path, const Snapshot& snapshot);

}  // namespace zelvo_host
