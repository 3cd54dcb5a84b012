// Text conversions for the programs around zelvo.dll. The library speaks
// GBK (code page 936, named explicitly so that the process's ANSI code page
// never matters); JSON and terminals speak UTF-8, COM speaks UTF-16.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace zelvo_common {

// UTF-8 to GBK. Empty optional when the text is not valid UTF-8 or holds a
// character GBK cannot write: no silent "?" may reach the client (an order's
// code or a password would change).
[[nodiscard]] std::optional<std::string> utf8ToGbk(std::string_view utf8);

// GBK to UTF-8. Bytes that are not GBK become U+FFFD, so the answer is
// always valid UTF-8 (the client's texts are shown, never refused).
[[nodiscard]] std::string gbkToUtf8(std::string_view gbk);

// GBK to UTF-16, stray bytes as U+FFFD.
[[nodiscard]] std::wstring gbkToWide(std::string_view gbk);

// UTF-16 to the process's ANSI code page, for text a person reads from a
// pipe or a file, the way Windows programs write it there: a character the
// code page lacks is shown as its default character.
[[nodiscard]] std::string wideToAnsiForDisplay(std::wstring_view wide);

// UTF-16 to UTF-8 and back, for files of the programs' own (paths, logs).
// An unpaired surrogate becomes U+FFFD; UTF-8 that is not valid gives an
// empty optional.
[[nodiscard]] std::string wideToUtf8(std::wstring_view wide);
[[nodiscard]] std::optional<std::wstring> utf8ToWide(std::string_view utf8);

}  // namespace zelvo_common
