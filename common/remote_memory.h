// Memory in another process: the loader writes a path and a start block into
// the client, the benchmark's outside reader a list request.
#pragma once
#include <windows.h>

namespace zelvo_common {

// Committed read-write memory in `process`, released when this owner goes
// unless it was left to the process (a thread there may still read it). The
// process handle must outlive the owner.
class RemoteMemory {
public:
    RemoteMemory(HANDLE process, SIZE_T size) noexcept;
    ~RemoteMemory();
    RemoteMemory(const RemoteMemory&) = delete;
    RemoteMemory& operator=(const RemoteMemory&) = delete;

    [[nodiscard]] void* address() const noexcept { return address_; }
    explicit operator bool() const noexcept { return address_ != nullptr; }

    // Writes `size` bytes at `offset` into the block; false unless all were written.
    [[nodiscard]] bool write(const void* data, SIZE_T size, SIZE_T offset = 0) noexcept;
    // Reads `size` bytes from `offset` of the block; false unless all were read.
    [[nodiscard]] bool read(void* data, SIZE_T size, SIZE_T offset = 0) const noexcept;
    void leave() noexcept { address_ = nullptr; }

private:
    HANDLE process_;
    void* address_;
};

}  // namespace zelvo_common
