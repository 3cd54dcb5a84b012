#include "remote_memory.h"

namespace zelvo_common {

namespace {

[[nodiscard]] void* at(void* base, SIZE_T offset) noexcept
{
    return static_cast<char*>(base) + offset;
}

}  // namespace

RemoteMemory::RemoteMemory(HANDLE process, SIZE_T size) noexcept
    : process_(process), address_(VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE))
{
}

RemoteMemory::~RemoteMemory()
{
    if (address_ != nullptr) {
        VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    }
}

bool RemoteMemory::write(const void* data, SIZE_T size, SIZE_T offset) noexcept
{
    SIZE_T written = 0;
    return address_ != nullptr && WriteProcessMemory(process_, at(address_, offset), data, size, &written) &&
           written == size;
}

bool RemoteMemory::read(void* data, SIZE_T size, SIZE_T offset) const noexcept
{
    SIZE_T read = 0;
    return address_ != nullptr && ReadProcessMemory(process_, at(address_, offset), data, size, &read) && read == size;
}

}  // namespace zelvo_common
