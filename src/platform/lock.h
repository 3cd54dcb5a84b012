// The session lock: a recursive Win32 critical section and its scoped guard.
#pragma once
#include <windows.h>

namespace zelvo {

class RecursiveLock {
public:
    RecursiveLock() noexcept { InitializeCriticalSectionAndSpinCount(&section_, 0); }
    ~RecursiveLock() { DeleteCriticalSection(&section_); }
    RecursiveLock(const RecursiveLock&) = delete;
    RecursiveLock& operator=(const RecursiveLock&) = delete;

    void lock() noexcept { EnterCriticalSection(&section_); }
    void unlock() noexcept { LeaveCriticalSection(&section_); }

private:
    CRITICAL_SECTION section_;
};

// Holds the lock from construction to the end of the scope, on every way out.
class LockGuard {
public:
    explicit LockGuard(RecursiveLock& lock) noexcept : lock_(lock) { lock_.lock(); }
    ~LockGuard() { lock_.unlock(); }
    LockGuard(const LockGuard&) = delete;
    LockGuard& operator=(const LockGuard&) = delete;

private:
    RecursiveLock& lock_;
};

}  // namespace zelvo
