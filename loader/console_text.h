// The loader's text for a person: to the console in UTF-16, or to a file or
// a pipe in the ANSI code page, as Windows programs write it there.
#pragma once
#include <cstdio>
#include <string>

namespace zelvo_load {

void write(FILE* stream, const std::wstring& text);

// "zelvo-load: " and the message on stderr; answers `code`.
int fail(int code, const std::wstring& message);

// Text of the ANSI code page's ASCII range (the host's fixed descriptions,
// a URL) as UTF-16.
[[nodiscard]] std::wstring fromAscii(const char* text);

}  // namespace zelvo_load
