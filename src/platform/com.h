// Scoped ownership for the COM values the accessibility code handles:
// interface pointers, VARIANTs and BSTRs, the calling thread's apartment,
// and the narrowing of UTF-16 texts to the process's ANSI code page.
#pragma once
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <cstddef>
#include <string>
#include <utility>

namespace zelvo {

// Owns one reference to a COM interface and releases it on scope exit.
template <typename T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    // Takes over a reference the caller already owns.
    explicit ComPtr(T* adopted) noexcept : pointer_(adopted) {}
    ~ComPtr() { reset(); }

    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : pointer_(other.detach()) {}
    ComPtr& operator=(ComPtr&& other) noexcept
    {
        if (this != &other) {
            reset(other.detach());
        }
        return *this;
    }

    // A new reference to an interface someone else owns.
    [[nodiscard]] static ComPtr retain(T* shared) noexcept
    {
        if (shared != nullptr) {
            shared->AddRef();
        }
        return ComPtr(shared);
    }

    [[nodiscard]] T* get() const noexcept { return pointer_; }
    T* operator->() const noexcept { return pointer_; }
    explicit operator bool() const noexcept { return pointer_ != nullptr; }

    // Releases the held interface and hands out the slot for an out-parameter.
    [[nodiscard]] T** put() noexcept
    {
        reset();
        return &pointer_;
    }
    [[nodiscard]] void** putVoid() noexcept { return reinterpret_cast<void**>(put()); }

    void reset(T* adopted = nullptr) noexcept
    {
        T* old = std::exchange(pointer_, adopted);
        if (old != nullptr) {
            old->Release();
        }
    }

    [[nodiscard]] T* detach() noexcept { return std::exchange(pointer_, nullptr); }

private:
    T* pointer_ = nullptr;
};

// A VARIANT that is cleared (its BSTR freed, its interface released) on scope exit.
class VariantGuard {
public:
    VariantGuard() noexcept { VariantInit(&value_); }
    ~VariantGuard() { VariantClear(&value_); }
    VariantGuard(const VariantGuard&) = delete;
    VariantGuard& operator=(const VariantGuard&) = delete;

    [[nodiscard]] const VARIANT& get() const noexcept { return value_; }

    // Clears the held value and hands out the VARIANT for a call to fill.
    [[nodiscard]] VARIANT* put() noexcept
    {
        VariantClear(&value_);
        return &value_;
    }

private:
    VARIANT value_;
};

// A BSTR that is freed on scope exit.
class BstrGuard {
public:
    BstrGuard() noexcept = default;
    ~BstrGuard() { SysFreeString(value_); }
    BstrGuard(const BstrGuard&) = delete;
    BstrGuard& operator=(const BstrGuard&) = delete;

    [[nodiscard]] BSTR get() const noexcept { return value_; }

    [[nodiscard]] BSTR* put() noexcept
    {
        SysFreeString(std::exchange(value_, nullptr));
        return &value_;
    }

private:
    BSTR value_ = nullptr;
};

// Gives the calling thread a COM apartment for the scope when it has none, and
// leaves a thread that already has one exactly as it was. CoInitializeEx then
// either returns S_FALSE (the thread is already single-threaded; the call is
// counted all the same and is balanced on exit) or fails with
// RPC_E_CHANGED_MODE (the thread is in the multithreaded apartment, which is
// used as it is and not touched).
class ApartmentScope {
public:
    ApartmentScope() noexcept : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ApartmentScope()
    {
        if (SUCCEEDED(result_)) {
            CoUninitialize();
        }
    }
    ApartmentScope(const ApartmentScope&) = delete;
    ApartmentScope& operator=(const ApartmentScope&) = delete;

    // Whether COM calls can be made from this thread within the scope.
    [[nodiscard]] bool usable() const noexcept { return SUCCEEDED(result_) || result_ == RPC_E_CHANGED_MODE; }

private:
    HRESULT result_;
};

// `text` in the ANSI code page, cut to at most `maxBytes` bytes between two
// characters: a double-byte character that does not fit is left out whole.
// Converted one character (surrogate pairs kept together) at a time, so the
// cut is right in any code page. Empty for a null text.
[[nodiscard]] inline std::string narrowAcp(const wchar_t* text, std::size_t maxBytes)
{
    std::string narrow;
    if (text == nullptr) {
        return narrow;
    }
    for (const wchar_t* next = text; *next != L'\0';) {
        const int units = (IS_HIGH_SURROGATE(next[0]) && IS_LOW_SURROGATE(next[1])) ? 2 : 1;
        char bytes[8];
        const int length = WideCharToMultiByte(CP_ACP, 0, next, units, bytes, sizeof bytes, nullptr, nullptr);
        if (length <= 0 || narrow.size() + static_cast<std::size_t>(length) > maxBytes) {
            break;
        }
        narrow.append(bytes, static_cast<std::size_t>(length));
        next += units;
    }
    return narrow;
}

}  // namespace zelvo
