#include "store/journal.h"

#include <vector>

namespace zelvo_host {

namespace {

constexpr DWORD readChunkBytes = 1u << 20;

[[nodiscard]] zelvo_common::UniqueHandle openForReading(const std::wstring& path)
{
    return zelvo_common::UniqueHandle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

[[nodiscard]] bool seekTo(HANDLE file, std::uint64_t at)
{
    LARGE_INTEGER distance;
    distance.QuadPart = static_cast<LONGLONG>(at);
    return SetFilePointerEx(file, distance, nullptr, FILE_BEGIN) != 0;
}

// Hands each line of the file from byte `from` on to `eachLine`; `cutOff` is
// set when the file does not end with a line feed, `size` to the bytes up to
// its end. False when the file exists but cannot be read.
[[nodiscard]] bool readLines(const std::wstring& path, const std::function<void(std::string_view)>& eachLine,
                             std::uint64_t from, bool& cutOff, std::uint64_t& size)
{
    const zelvo_common::UniqueHandle file = openForReading(path);
    size = 0;
    if (!file) {
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    }
    if (!seekTo(file.get(), from)) {
        return false;
    }
    size = from;
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
        size += read;
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

bool Journal::open(const std::wstring& path, const std::function<void(std::string_view)>& eachLine, std::uint64_t from)
{
    bool cutOff = false;
    if (!readLines(path, eachLine, from, cutOff, size_)) {
        return false;
    }
    file_.reset(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file_) {
        return false;
    }
    DWORD written = 0;
    if (!cutOff) {
        return true;
    }
    size_ += 1;
    return WriteFile(file_.get(), "\n", 1, &written, nullptr) && written == 1 && FlushFileBuffers(file_.get());
}

bool Journal::append(const std::string& line)
{
    if (!file_) {
        return false;
    }
    const std::string record = line + "\n";
    DWORD written = 0;
    const bool appended = WriteFile(file_.get(), record.data(), static_cast<DWORD>(record.size()), &written, nullptr) &&
                          written == record.size() && FlushFileBuffers(file_.get());
    size_ += written;
    return appended;
}

std::optional<std::string> Journal::lineEndingAt(const std::wstring& path, std::uint64_t end)
{
    constexpr std::uint64_t longestLine = 1u << 20;
    const zelvo_common::UniqueHandle file = openForReading(path);
    LARGE_INTEGER fileSize;
    if (!file || end == 0 || !GetFileSizeEx(file.get(), &fileSize) || static_cast<std::uint64_t>(fileSize.QuadPart) < end) {
        return std::nullopt;
    }
    const std::uint64_t start = end > longestLine ? end - longestLine : 0;
    std::string bytes(static_cast<size_t>(end - start), '\0');
    DWORD read = 0;
    if (!seekTo(file.get(), start) || !ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
        read != bytes.size() || bytes.back() != '\n') {
        return std::nullopt;
    }
    bytes.pop_back();
    const size_t feed = bytes.rfind('\n');
    if (feed == std::string::npos && start > 0) {
        return std::nullopt;  // longer than we look back
    }
    return feed == std::string::npos ? bytes : bytes.substr(feed + 1);
}

}  // namespace zelvo_host
