// The service's text edge: JSON is UTF-8, zelvo.dll speaks GBK (code page
// 936, named explicitly so the process's ANSI code page never matters).
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace zelvo_host {

// UTF-8 to GBK. Empty optional when the text is not valid UTF-8 or holds a
// character GBK cannot write (no silent "?" goes to the client).
[[nodiscard]] std::optional<std::string> utf8ToGbk(std::string_view utf8);

// GBK to UTF-8. Bytes that are not GBK become U+FFFD, so the answer is
// always valid UTF-8.
[[nodiscard]] std::string gbkToUtf8(std::string_view gbk);

// UTF-16 to UTF-8 and back, for paths shown in messages and the published block.
[[nodiscard]] std::string wideToUtf8(std::wstring_view wide);

}  // namespace zelvo_host
