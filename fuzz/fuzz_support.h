// What the fuzz targets share: a check that aborts (so libFuzzer keeps the
// input as a crash), an independent reading of GBK bytes to judge the
// library's answers by, and the splitting of a fuzz input into fields.
//
// The double-byte rule is worked out here again on purpose instead of
// calling isLeadByte/characterSize: a target that judged the library by the
// library's own rule would accept any fault in that rule.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace zelvo::fuzz {

[[noreturn]] inline void fail(const char* file, int line, const char* condition)
{
    std::fprintf(stderr, "%s:%d: property violated: %s\n", file, line, condition);
    std::abort();
}

// Unlike assert, stays active whatever NDEBUG says.
#define FUZZ_CHECK(condition) \
    ((condition) ? static_cast<void>(0) : ::zelvo::fuzz::fail(__FILE__, __LINE__, #condition))

// A byte 0x81..0xFE and the byte after it are one character; a lead byte
// with nothing after it is a character of its own.
[[nodiscard]] inline size_t modelCharacterSize(const std::string& text, size_t position)
{
    const auto byte = static_cast<unsigned char>(text[position]);
    const bool lead = byte > 0x80 && byte < 0xFF;
    return lead && position + 1 < text.size() ? 2 : 1;
}

// starts[p] is true when a character starts at byte p; starts[size()] is
// true too, so that "ends on a boundary" is starts[end].
[[nodiscard]] inline std::vector<bool> characterStarts(const std::string& text)
{
    std::vector<bool> starts(text.size() + 1, false);
    for (size_t position = 0; position < text.size(); position += modelCharacterSize(text, position)) {
        starts[position] = true;
    }
    starts[text.size()] = true;
    return starts;
}

// The text cut into its characters, each as its own bytes.
[[nodiscard]] inline std::vector<std::string> characters(const std::string& text)
{
    std::vector<std::string> out;
    for (size_t position = 0; position < text.size();) {
        const size_t size = modelCharacterSize(text, position);
        out.push_back(text.substr(position, size));
        position += size;
    }
    return out;
}

// The first position at or after `from` where `needle` starts and ends on
// character boundaries, found by trying every position.
// `starts` is characterStarts(text), passed in by callers that search the
// same text many times.
[[nodiscard]] inline size_t firstAlignedMatch(const std::string& text, const std::vector<bool>& starts,
                                              const std::string& needle, size_t from)
{
    if (from > text.size()) {
        return std::string::npos;
    }
    for (size_t at = from; at + needle.size() <= text.size(); ++at) {
        if (starts[at] && starts[at + needle.size()] && text.compare(at, needle.size(), needle) == 0) {
            return at;
        }
    }
    return std::string::npos;
}

[[nodiscard]] inline size_t firstAlignedMatch(const std::string& text, const std::string& needle, size_t from)
{
    return firstAlignedMatch(text, characterStarts(text), needle, from);
}

// The input cut at every `separator` byte, at most `maxFields` fields (the
// last one keeps any further separators). Separators keep the seed files
// readable: each field is plain GBK text.
[[nodiscard]] inline std::vector<std::string> splitFields(const uint8_t* data, size_t size, char separator,
                                                          size_t maxFields = SIZE_MAX)
{
    std::vector<std::string> fields(1);
    for (size_t i = 0; i < size; ++i) {
        const char byte = static_cast<char>(data[i]);
        if (byte == separator && fields.size() < maxFields) {
            fields.emplace_back();
        } else {
            fields.back() += byte;
        }
    }
    return fields;
}

[[nodiscard]] inline bool allDigits(const std::string& text)
{
    for (const char byte : text) {
        if (byte < '0' || byte > '9') {
            return false;
        }
    }
    return true;
}

}  // namespace zelvo::fuzz
