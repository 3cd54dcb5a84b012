#include "store/limits_file.h"

#include <windows.h>

#include <vector>

#include "handles.h"
#include "whole_file.h"

namespace zelvo_host {

namespace {

using zelvo_common::UniqueHandle;

constexpr DWORD maxFileBytes = 1u << 20;

// Only where JSON text breaks, and why, in the parser's words ("syntax
// error while parsing object ... at line 3, column 5").
class SyntaxProblem : public nlohmann::json_sax<Json> {
public:
    std::string message;

    bool null() override { return true; }
    bool boolean(bool) override { return true; }
    bool number_integer(number_integer_t) override { return true; }
    bool number_unsigned(number_unsigned_t) override { return true; }
    bool number_float(number_float_t, const string_t&) override { return true; }
    bool string(string_t&) override { return true; }
    bool binary(binary_t&) override { return true; }
    bool start_object(std::size_t) override { return true; }
    bool key(string_t&) override { return true; }
    bool end_object() override { return true; }
    bool start_array(std::size_t) override { return true; }
    bool end_array() override { return true; }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& error) override
    {
        message = error.what();
        return false;
    }
};

// The file's name as messages give it (ASCII: the service makes the names).
[[nodiscard]] std::string nameOf(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    const std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    std::string text;
    for (const wchar_t c : name) {
        text += c < 0x80 ? static_cast<char>(c) : '?';
    }
    return text;
}

}  // namespace

std::wstring limitsFileName(unsigned port)
{
    return L"limits-" + std::to_wstring(port) + L".json";
}

LimitsFile readLimitsFile(const std::wstring& path)
{
    const std::string name = nameOf(path);
    LimitsFile file;
    const UniqueHandle handle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle) {
        if (GetLastError() != ERROR_FILE_NOT_FOUND) {
            file.found = true;
            file.problem = name + " cannot be read (error " + std::to_string(GetLastError()) + ")";
        }
        return file;
    }
    file.found = true;
    std::vector<char> bytes(maxFileBytes + 1);
    DWORD read = 0;
    if (!ReadFile(handle.get(), bytes.data(), maxFileBytes + 1, &read, nullptr) || read > maxFileBytes) {
        file.problem = name + " cannot be read, or is larger than 1 MiB";
        return file;
    }
    const Json given = Json::parse(bytes.begin(), bytes.begin() + read, nullptr, false);
    if (given.is_discarded()) {
        SyntaxProblem syntax;
        Json::sax_parse(bytes.begin(), bytes.begin() + read, &syntax);
        file.problem = name + " is not valid JSON: " + syntax.message;
        return file;
    }
    if (const std::string problem = readLimits(given, file.limits); !problem.empty()) {
        file.problem = name + ": " + problem;
    }
    return file;
}

bool writeLimitsFile(const std::wstring& path, const Limits& limits)
{
    return zelvo_common::replaceFile(path, limitsJson(limits).dump(2) + "\n");
}

}  // namespace zelvo_host
