#include "gbk_text.h"

#include <windows.h>

#include <climits>

namespace zelvo_host {

namespace {

constexpr UINT gbkCodePage = 936;

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

// `usedDefault` is only allowed for code pages other than UTF-8.
[[nodiscard]] std::string fromWide(UINT codePage, std::wstring_view wide, BOOL* usedDefault)
{
    if (wide.empty() || wide.size() > INT_MAX) {
        return {};
    }
    const int size = static_cast<int>(wide.size());
    const DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
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
    std::string gbk = fromWide(gbkCodePage, *wide, &usedDefault);
    if (usedDefault || (gbk.empty() && !wide->empty())) {
        return std::nullopt;
    }
    return gbk;
}

std::string gbkToUtf8(std::string_view gbk)
{
    // Without MB_ERR_INVALID_CHARS stray bytes become U+FFFD instead of failing the whole text.
    const std::optional<std::wstring> wide = toWide(gbkCodePage, 0, gbk);
    return wide ? fromWide(CP_UTF8, *wide, nullptr) : std::string();
}

std::string wideToUtf8(std::wstring_view wide)
{
    return fromWide(CP_UTF8, wide, nullptr);
}

}  // namespace zelvo_host
