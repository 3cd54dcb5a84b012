// The order journal: one JSON object per line, each line written and
// flushed to disk before the service answers, so that no order or cancel
// request and no answer is lost when the client or the machine stops.
#pragma once
#include <string>

#include "handles.h"

namespace zelvo_host {

class Journal {
public:
    // Opens (creating when missing) the journal for appending. Other
    // programs may read it while the service runs.
    [[nodiscard]] bool open(const std::wstring& path);

    // Appends `line` and a line feed and flushes them to disk. False when
    // either failed: the caller then must not act on the request.
    [[nodiscard]] bool append(const std::string& line);

private:
    zelvo_common::UniqueHandle file_;
};

}  // namespace zelvo_host
