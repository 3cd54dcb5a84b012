#include "journal.h"

namespace zelvo_host {

bool Journal::open(const std::wstring& path)
{
    file_.reset(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    return static_cast<bool>(file_);
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
