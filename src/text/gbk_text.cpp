#include "text/gbk_text.h"

#include <utility>

namespace zelvo {
namespace {

[[nodiscard]] bool isAsciiDigit(char byte) noexcept
{
    return byte >= '0' && byte <= '9';
}

// Position of the single-byte character `wanted` at or after `boundary`,
// which must be a character boundary, so that the second byte of a
// double-byte character is never taken for it.
[[nodiscard]] size_t findCharacter(const std::string& text, char wanted, size_t boundary) noexcept
{
    while (boundary < text.size()) {
        const size_t size = characterSize(text, boundary);
        if (size == 1 && text[boundary] == wanted) {
            return boundary;
        }
        boundary += size;
    }
    return std::string::npos;
}

[[nodiscard]] size_t firstDigitPosition(const std::string& text) noexcept
{
    size_t position = 0;
    while (position < text.size()) {
        const size_t size = characterSize(text, position);
        if (size == 1 && isAsciiDigit(text[position])) {
            break;
        }
        position += size;
    }
    return position;
}

// Whether the character `character` (`size` bytes) is one of the characters
// of `delimiters`, both read with the double-byte rule.
[[nodiscard]] bool isDelimiter(const char* character, size_t size, const std::string& delimiters) noexcept
{
    size_t position = 0;
    while (position < delimiters.size()) {
        const size_t delimiterSize = characterSize(delimiters, position);
        if (delimiterSize == size && delimiters.compare(position, size, character, size) == 0) {
            return true;
        }
        position += delimiterSize;
    }
    return false;
}

void appendToken(std::vector<std::string>& out, std::string& token)
{
    if (!token.empty()) {
        out.push_back(std::move(token));
        token.clear();
    }
}

}  // namespace

bool isLeadByte(char byte) noexcept
{
    const auto value = static_cast<unsigned char>(byte);
    return value >= 0x81 && value <= 0xFE;
}

size_t characterSize(const std::string& text, size_t position) noexcept
{
    return isLeadByte(text[position]) && position + 1 < text.size() ? 2 : 1;
}

bool endsInLeadByte(const std::string& text) noexcept
{
    size_t position = 0;
    size_t last = 0;
    while (position < text.size()) {
        last = position;
        position += characterSize(text, position);
    }
    return !text.empty() && last + 1 == text.size() && isLeadByte(text[last]);
}

std::string firstDigitRun(const std::string& text)
{
    const size_t first = firstDigitPosition(text);
    size_t end = first;
    while (end < text.size() && isAsciiDigit(text[end])) {
        ++end;
    }
    return text.substr(first, end - first);
}

void splitText(std::vector<std::string>& out, const std::string& source, const std::string& delimiters)
{
    out.clear();
    std::string token;
    size_t position = 0;
    while (position < source.size()) {
        const size_t size = characterSize(source, position);
        if (isDelimiter(source.data() + position, size, delimiters)) {
            appendToken(out, token);
        } else {
            token.append(source, position, size);
        }
        position += size;
    }
    appendToken(out, token);
}

size_t findText(const std::string& text, const std::string& needle, size_t from) noexcept
{
    if (from > text.size()) {
        return std::string::npos;
    }
    // A needle ending in a lone lead byte would, inside a longer text, end
    // on the first half of a double-byte character.
    const bool needleEndsInLead = endsInLeadByte(needle);
    size_t boundary = 0;
    size_t candidate = text.find(needle, from);
    while (candidate != std::string::npos) {
        while (boundary < candidate) {
            boundary += characterSize(text, boundary);
        }
        const bool endsInside = needleEndsInLead && candidate + needle.size() < text.size();
        if (boundary == candidate && !endsInside) {
            return candidate;
        }
        candidate = text.find(needle, candidate + 1);
    }
    return std::string::npos;
}

bool containsText(const std::string& text, const std::string& needle) noexcept
{
    return findText(text, needle) != std::string::npos;
}

namespace {

// "：", the full-width colon, as GBK bytes.
constexpr char fullWidthColon[] = "\xA3\xBA";

[[nodiscard]] bool isAsciiAlphanumeric(char byte) noexcept
{
    return (byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z');
}

// Past the blanks and colons between a label and its value.
[[nodiscard]] size_t skipLabelSeparators(const std::string& text, size_t position) noexcept
{
    while (position < text.size()) {
        const char byte = text[position];
        if (byte == ' ' || byte == '\t' || byte == ':' || byte == '=') {
            ++position;
        } else if (text.compare(position, 2, fullWidthColon) == 0) {
            position += 2;
        } else {
            break;
        }
    }
    return position;
}

}  // namespace

std::string alphanumericRunAt(const std::string& text, size_t position)
{
    size_t end = position;
    while (end < text.size() && isAsciiAlphanumeric(text[end])) {
        ++end;
    }
    return position < end ? text.substr(position, end - position) : std::string();
}

std::vector<std::string> labelledValues(const std::string& text, const std::string& label)
{
    std::vector<std::string> values;
    if (label.empty()) {
        return values;
    }
    for (size_t at = findText(text, label); at != std::string::npos; at = findText(text, label, at + label.size())) {
        std::string value = alphanumericRunAt(text, skipLabelSeparators(text, at + label.size()));
        if (!value.empty()) {
            values.push_back(std::move(value));
        }
    }
    return values;
}

std::vector<std::string> extractBetween(const std::string& text, char open, char close)
{
    std::vector<std::string> items;
    size_t openAt = findCharacter(text, open, 0);
    while (openAt != std::string::npos) {
        size_t start = openAt + 1;
        const size_t closeAt = findCharacter(text, close, start);
        if (closeAt == std::string::npos) {
            break;
        }
        while (start < closeAt && characterSize(text, start) == 1 && text[start] == open) {
            ++start;
        }
        items.push_back(text.substr(start, closeAt - start));
        openAt = findCharacter(text, open, closeAt + 1);
    }
    return items;
}

}  // namespace zelvo
