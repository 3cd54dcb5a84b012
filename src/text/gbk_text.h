// Small pure functions on GBK text held as raw bytes in std::string: the
// first number in a text, splitting at delimiter characters, substring
// search and the words between two delimiters. They apply the double-byte
// rule themselves (a lead byte 0x81..0xFE and the byte after it are one
// character), so they give the same answer whatever the process's code page.
// No Windows header is used: the functions also build natively elsewhere.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

namespace zelvo {

// True for a byte that starts a double-byte character (0x81..0xFE).
[[nodiscard]] bool isLeadByte(char byte) noexcept;

// Byte length (1 or 2) of the character starting at `position`. A lead byte
// that is the last byte of the text is a character of its own.
[[nodiscard]] size_t characterSize(const std::string& text, size_t position) noexcept;

// True when the text's last character is a lone lead byte, i.e. the text
// ends with the first half of a double-byte character that was cut off.
[[nodiscard]] bool endsInLeadByte(const std::string& text) noexcept;

// The first run of ASCII digits, or empty text. The first digit is searched
// character by character; the run then extends byte by byte.
[[nodiscard]] std::string firstDigitRun(const std::string& text);

// Cuts `source` into tokens: maximal non-empty runs of characters none of
// which is a character of `delimiters` (double-byte characters compare as
// wholes). `out` is cleared first; the tokens are appended in order.
void splitText(std::vector<std::string>& out, const std::string& source, const std::string& delimiters);

// Position of the first occurrence of `needle` at or after `from` that
// begins and ends on character boundaries; std::string::npos when there is
// none. An empty needle matches at the first boundary at or after `from`.
[[nodiscard]] size_t findText(const std::string& text, const std::string& needle, size_t from = 0) noexcept;
[[nodiscard]] bool containsText(const std::string& text, const std::string& needle) noexcept;

// The run of ASCII letters and digits that starts at `position` (empty when
// there is none there).
[[nodiscard]] std::string alphanumericRunAt(const std::string& text, size_t position);

// The value written after each occurrence of `label` in a "label: value"
// text: past blanks, ASCII and full-width colons and '=', the run of ASCII
// letters and digits that follows. Occurrences followed by no such run
// give nothing; the values come in text order.
[[nodiscard]] std::vector<std::string> labelledValues(const std::string& text, const std::string& label);

// The texts found between an `open` character and the next `close`
// character, in text order. A run of `open` characters counts as one; the
// search for the next `open` resumes after the `close`. An `open` without a
// later `close` ends the search.
[[nodiscard]] std::vector<std::string> extractBetween(const std::string& text, char open, char close);

}  // namespace zelvo
