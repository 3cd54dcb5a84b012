// A file written in one step: the text goes to PATH.new, is flushed, and
// replaces PATH, so that a reader or a power loss never finds half of it.
#pragma once
#include <string>
#include <string_view>

namespace zelvo_common {

[[nodiscard]] bool replaceFile(const std::wstring& path, std::string_view text);

}  // namespace zelvo_common
