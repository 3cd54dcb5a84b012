// The data folder as the service makes it when it is missing: only the
// current user may use it (the token file, the journal, the limits file, and
// the watcher's log and book of ports live there).
#pragma once
#include <string>

namespace zelvo_load {

// True when the folder exists or was made so.
[[nodiscard]] bool ensureDataFolder(const std::wstring& folder);

}  // namespace zelvo_load
