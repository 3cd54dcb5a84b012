// The bearer token: drawn from the system's random source, kept in a file
// that only the user running the client can open, compared in constant time.
#pragma once
#include <string>
#include <string_view>

namespace zelvo_host {

// 32 random bytes as 64 lowercase hex digits; empty when the system's
// random source failed (the service then does not start).
[[nodiscard]] std::string newToken();

// True when `given` equals `expected`. The time taken depends only on the
// lengths, never on where the texts first differ.
[[nodiscard]] bool tokensEqual(std::string_view expected, std::string_view given) noexcept;

// Creates `folder` when missing, and writes `text` to `path` as a new file
// whose access list grants the current user alone (no inherited entries).
// An older file at `path` is removed first, so its access list never survives.
[[nodiscard]] bool createFolderForUser(const std::wstring& folder);
[[nodiscard]] bool writeUserOnlyFile(const std::wstring& path, const std::string& text);

}  // namespace zelvo_host
