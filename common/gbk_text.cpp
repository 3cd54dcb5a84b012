#include "gbk_text.h"

#include <windows.h>

#include <climits>

namespace zelvo_common {

namespace {

constexpr UINT gbkCodePage = 936;

// Empty optional when the text is too long for the API or, with
// MB_ERR_INVALID_CHARS in `flags`, holds bytes that are not of the code page.
[[nodiscard]] std::optional<std::wstring> toWide(UINT codePage, DWORD flags, std::string_view text)
{
    if (text.empty()) {
        return std::wstring();
    }
    if (text.size() > INT_MAX) {
        return std::nullopt;
    }
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(codePage, flags, text.data(), size, nullptr, 0);
    if (length <= 0) {
        return std::nullopt;
    }
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(codePage, flags, text.data(), size, wide.data(), length);
    return wide;
}

// `usedDefault` must be null for UTF-8, which has no default character.
// Best-fit mapping (a look-alike for a missing character) is left to the
// display conversion alone.
[[nodiscard]] std::string fromWide(UINT codePage, DWORD flags, std::wstring_view wide, BOOL* usedDefault)
{
    if (wide.empty() || wide.size() > INT_MAX) {
        return {};
    }
    const int size = static_cast<int>(wide.size());
    const int length = WideCharToMultiByte(codePage, flags, wide.data(), size, nullptr, 0, nullptr, usedDefault);
    if (length <= 0) {
        return {};
    }
    std::string text(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(codePage, flags, wide.data(), size, text.data(), length, nullptr, usedDefault);
    return text;
}

}  // namespace

std::optional<std::string> utf8ToGbk(std::string_view utf8)
{
    const std::optional<std::wstring> wide = toWide(CP_UTF8, MB_ERR_INVALID_CHARS, utf8);
    if (!wide) {
        return std::nullopt;
    }
    BOOL usedDefault = FALSE;
    std::string gbk = fromWide(gbkCodePage, WC_NO_BEST_FIT_CHARS, *wide, &usedDefault);
    if (usedDefault || (gbk.empty() && !wide->empty())) {
        return std::nullopt;
    }
    return gbk;
}

std::wstring gbkToWide(std::string_view gbk)
{
    // Without MB_ERR_INVALID_CHARS stray bytes become U+FFFD instead of failing the whole text.
    return toWide(gbkCodePage, 0, gbk).value_or(std::wstring());
}

std::string gbkToUtf8(std::string_view gbk)
{
    return fromWide(CP_UTF8, 0, gbkToWide(gbk), nullptr);
}

std::string wideToAnsiForDisplay(std::wstring_view wide)
{
    return fromWide(CP_ACP, 0, wide, nullptr);
}

std::string wideToUtf8(std::wstring_view wide)
{
    return fromWide(CP_UTF8, 0, wide, nullptr);
}

std::optional<std::wstring> utf8ToWide(std::string_view utf8)
{
    return toWide(CP_UTF8, MB_ERR_INVALID_CHARS, utf8);
}

}  // namespace zelvo_common
