// The journal file: one JSON object per line, each line written and flushed
// to disk before the service answers, so that no order or cancel request, no
// answer and no change of the service's state is lost when the client or the
// machine stops. Read back whole at start (see ledger.h).
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "handles.h"

namespace zelvo_host {

class Journal {
public:
    // Reads the journal's lines (none when it is missing), each to `eachLine`
    // without its line feed, then opens it for appending (creating it). A
    // last line that was cut off (the machine stopped while it was written)
    // is read too, and then ended with a line feed so that the next line
    // starts on a line of its own. Other programs may read the journal while
    // the service runs. False when it could not be read or opened.
    // `from`: the byte the reading starts at (the end of what a snapshot
    // holds), the start of a line.
    [[nodiscard]] bool open(const std::wstring& path, const std::function<void(std::string_view)>& eachLine,
                            std::uint64_t from = 0);

    // Appends `line` and a line feed and flushes them to disk. False when
    // either failed: the caller then must not act on the request.
    [[nodiscard]] bool append(const std::string& line);

    // The journal's bytes: those read at open and those appended since.
    [[nodiscard]] std::uint64_t size() const { return size_; }

    // The line of the journal at `path` that ends (with its line feed) at
    // byte `end`, or none when no line ends there (the file is shorter, or
    // was replaced) or the line is longer than 1 MiB.
    [[nodiscard]] static std::optional<std::string> lineEndingAt(const std::wstring& path, std::uint64_t end);

private:
    zelvo_common::UniqueHandle file_;
    std::uint64_t size_ = 0;
};

}  // namespace zelvo_host
