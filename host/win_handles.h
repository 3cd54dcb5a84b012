// Owners of Win32 handles for the service and the loader: each closes its
// handle on every way out of its scope.
#pragma once
#include <windows.h>

#include <utility>

namespace zelvo_host {

// A kernel handle closed with CloseHandle. Both null and
// INVALID_HANDLE_VALUE mean "none".
class UniqueHandle {
public:
    UniqueHandle() noexcept = default;
    explicit UniqueHandle(HANDLE handle) noexcept : handle_(handle) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other) {
            reset(std::exchange(other.handle_, nullptr));
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    [[nodiscard]] HANDLE get() const noexcept { return handle_; }
    [[nodiscard]] bool valid() const noexcept { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
    void reset(HANDLE handle = nullptr) noexcept
    {
        if (valid()) {
            CloseHandle(handle_);
        }
        handle_ = handle;
    }

private:
    HANDLE handle_ = nullptr;
};

// A loaded module, freed with FreeLibrary.
class UniqueModule {
public:
    explicit UniqueModule(HMODULE module = nullptr) noexcept : module_(module) {}
    ~UniqueModule()
    {
        if (module_ != nullptr) {
            FreeLibrary(module_);
        }
    }
    UniqueModule(const UniqueModule&) = delete;
    UniqueModule& operator=(const UniqueModule&) = delete;

    [[nodiscard]] HMODULE get() const noexcept { return module_; }

private:
    HMODULE module_;
};

// A view of a file mapping, unmapped with UnmapViewOfFile.
class MappedView {
public:
    MappedView() noexcept = default;
    explicit MappedView(void* view) noexcept : view_(view) {}
    ~MappedView()
    {
        if (view_ != nullptr) {
            UnmapViewOfFile(view_);
        }
    }
    MappedView(MappedView&& other) noexcept : view_(std::exchange(other.view_, nullptr)) {}
    MappedView& operator=(MappedView&& other) noexcept
    {
        std::swap(view_, other.view_);
        return *this;
    }
    MappedView(const MappedView&) = delete;
    MappedView& operator=(const MappedView&) = delete;

    [[nodiscard]] void* get() const noexcept { return view_; }

private:
    void* view_ = nullptr;
};

// Memory from LocalAlloc (security descriptors, token information).
class LocalMemory {
public:
    explicit LocalMemory(HLOCAL memory = nullptr) noexcept : memory_(memory) {}
    ~LocalMemory()
    {
        if (memory_ != nullptr) {
            LocalFree(memory_);
        }
    }
    LocalMemory(const LocalMemory&) = delete;
    LocalMemory& operator=(const LocalMemory&) = delete;

    [[nodiscard]] void* get() const noexcept { return memory_; }

private:
    HLOCAL memory_;
};

}  // namespace zelvo_host
