#include "console_text.h"

#include <windows.h>

#include <cstring>

#include "gbk_text.h"

namespace zelvo_load {

void write(FILE* stream, const std::wstring& text)
{
    const HANDLE handle = GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(handle, &mode)) {
        WriteConsoleW(handle, text.c_str(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    const std::string bytes = zelvo_common::wideToAnsiForDisplay(text);
    std::fwrite(bytes.data(), 1, bytes.size(), stream);
    std::fflush(stream);
}

int fail(int code, const std::wstring& message)
{
    write(stderr, L"zelvo-load: " + message + L"\n");
    return code;
}

std::wstring fromAscii(const char* text)
{
    std::wstring wide(std::strlen(text), L'\0');
    for (size_t index = 0; index < wide.size(); ++index) {
        wide[index] = static_cast<unsigned char>(text[index]);
    }
    return wide;
}

}  // namespace zelvo_load
