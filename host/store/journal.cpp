#include "store/journal.h"

#include <vector>

namespace zelvo_host {

namespace {

constexpr DWORD readChunkBytes = 1u << 20;

// Hands each line of the file to `eachLine`; `cutOff` is set when the file
// does not end with a line feed. False when the file exists but cannot be read.
[[nodiscard]] bool readLines(const std::wstring& path, const std::function<void(std::string_view)>& eachLine, bool& cutOff)
{
    const zelvo_common::UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    }
    std::vector<char> chunk(readChunkBytes);
    std::string pending;
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file.get(), chunk.data(), readChunkBytes, &read, nullptr)) {
            return false;
        }
        if (read == 0) {
            break;
        }
        pending.append(chunk.data(), read);
        size_t start = 0;
        for (size_t end = pending.find('\n'); end != std::string::npos; end = pending.find('\n', start)) {
            eachLine(std::string_view(pending).substr(start, end - start));
            start = end + 1;
        }
        pending.erase(0, start);
    }
    cutOff = !pending.empty();
    if (cutOff) {
        eachLine(pending);
    }
    return true;
}

}  // namespace

bool Journal::open(const std::wstring& path, const std::function<void(std::string_view)>& eachLine)
{
    bool cutOff = false;
    if (!readLines(path, eachLine, cutOff)) {
        return false;
    }
    file_.reset(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file_) {
        return false;
    }
    DWORD written = 0;
    return !cutOff || (WriteFile(file_.get(), "\n", 1, &written, nullptr) && written == 1 && FlushFileBuffers(file_.get()));
}

bool Journal::append(const std::string& line)
{
    if (!file_) {
        return false;
    }
    const std::string record = line + "\n";
    DWORD written = 0;
    return WriteFile(file_.get(), record.data(), static_cast<DWORD>(record.size()), &written, nullptr) &&
           written == record.size() && FlushFileBuffers(file_.get());
}

}  // namespace zelvo_host
