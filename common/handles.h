// Owners of Win32 handles for the programs around zelvo.dll. One template,
// UniqueAny, does the owning; a traits type says what it owns: the value's
// type, which values mean "none", and how a value is closed. Each kind of
// handle is then a one-line alias. Every owner is move-only: a move leaves
// the source empty, and a move-assignment closes what the target held.
#pragma once
#include <windows.h>

#include <utility>

namespace zelvo_common {

template <typename Traits>
class UniqueAny {
public:
    using Value = typename Traits::Value;

    UniqueAny() noexcept = default;
    explicit UniqueAny(Value value) noexcept : value_(value) {}
    ~UniqueAny() { reset(); }
    UniqueAny(UniqueAny&& other) noexcept : value_(other.release()) {}
    UniqueAny& operator=(UniqueAny&& other) noexcept
    {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    UniqueAny(const UniqueAny&) = delete;
    UniqueAny& operator=(const UniqueAny&) = delete;

    [[nodiscard]] Value get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return Traits::isValid(value_); }

    // Closes what is held (if anything) and holds `value` instead.
    void reset(Value value = Traits::none()) noexcept
    {
        const Value old = std::exchange(value_, value);
        if (Traits::isValid(old)) {
            Traits::close(old);
        }
    }

    // Gives up ownership: the caller closes the value.
    [[nodiscard]] Value release() noexcept { return std::exchange(value_, Traits::none()); }

    // For a function that writes a new value through an out-parameter:
    // closes what is held and gives the address to write to.
    [[nodiscard]] Value* put() noexcept
    {
        reset();
        return &value_;
    }

private:
    Value value_ = Traits::none();
};

// A value whose only "none" is null, closed by `Close`.
template <typename T, auto Close>
struct NullIsNone {
    using Value = T;
    static constexpr Value none() noexcept { return nullptr; }
    static bool isValid(Value value) noexcept { return value != nullptr; }
    static void close(Value value) noexcept { Close(value); }
};

// A kernel handle: some functions answer null for "none", others
// INVALID_HANDLE_VALUE (CreateFile, CreateToolhelp32Snapshot), so both are.
struct KernelHandleTraits {
    using Value = HANDLE;
    static constexpr Value none() noexcept { return nullptr; }
    static bool isValid(Value value) noexcept { return value != nullptr && value != INVALID_HANDLE_VALUE; }
    static void close(Value value) noexcept { CloseHandle(value); }
};

using UniqueHandle = UniqueAny<KernelHandleTraits>;
// An event from CreateEvent (null when it failed); see createEvent below.
using UniqueEvent = UniqueAny<NullIsNone<HANDLE, &::CloseHandle>>;
using UniqueModule = UniqueAny<NullIsNone<HMODULE, &::FreeLibrary>>;
using UniqueMappedView = UniqueAny<NullIsNone<void*, &::UnmapViewOfFile>>;
using UniqueLocalMemory = UniqueAny<NullIsNone<HLOCAL, &::LocalFree>>;
template <typename GdiObject>
using UniqueGdiObject = UniqueAny<NullIsNone<GdiObject, &::DeleteObject>>;
using UniqueBitmap = UniqueGdiObject<HBITMAP>;
// A memory device context from CreateCompatibleDC.
using UniqueMemoryDc = UniqueAny<NullIsNone<HDC, &::DeleteDC>>;
// A hook from SetWindowsHookEx.
using UniqueHook = UniqueAny<NullIsNone<HHOOK, &::UnhookWindowsHookEx>>;

// The process and thread handles CreateProcess hands out.
struct ProcessHandles {
    explicit ProcessHandles(const PROCESS_INFORMATION& started) noexcept
        : process(started.hProcess), thread(started.hThread)
    {
    }
    UniqueHandle process;
    UniqueHandle thread;
};

enum class EventReset { Manual, Automatic };

// A new unnamed event; empty when it could not be made.
[[nodiscard]] inline UniqueEvent createEvent(EventReset reset, bool signalled) noexcept
{
    return UniqueEvent(CreateEventA(nullptr, reset == EventReset::Manual, signalled, nullptr));
}

// A window's device context from GetDC, released to that window with
// ReleaseDC. Scoped: it stays where it was made.
class WindowDc {
public:
    explicit WindowDc(HWND window) noexcept : window_(window), dc_(GetDC(window)) {}
    ~WindowDc()
    {
        if (dc_ != nullptr) {
            ReleaseDC(window_, dc_);
        }
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;

    [[nodiscard]] HDC get() const noexcept { return dc_; }
    explicit operator bool() const noexcept { return dc_ != nullptr; }

private:
    HWND window_;
    HDC dc_;
};

// An object selected into a device context, with the one it replaced put
// back when the scope ends, so the object can be deleted after it.
class ObjectSelection {
public:
    ObjectSelection(HDC dc, HGDIOBJ object) noexcept : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~ObjectSelection()
    {
        if (previous_ != nullptr && previous_ != HGDI_ERROR) {
            SelectObject(dc_, previous_);
        }
    }
    ObjectSelection(const ObjectSelection&) = delete;
    ObjectSelection& operator=(const ObjectSelection&) = delete;

    explicit operator bool() const noexcept { return previous_ != nullptr && previous_ != HGDI_ERROR; }

private:
    HDC dc_;
    HGDIOBJ previous_;
};

}  // namespace zelvo_common
