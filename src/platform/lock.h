// The session lock: a recursive Win32 critical section that knows which
// thread holds it, and its scoped guard.
#pragma once
#include <windows.h>

#include <atomic>

namespace zelvo {

class RecursiveLock {
public:
    RecursiveLock() noexcept { InitializeCriticalSectionAndSpinCount(&section_, 0); }
    ~RecursiveLock() { DeleteCriticalSection(&section_); }
    RecursiveLock(const RecursiveLock&) = delete;
    RecursiveLock& operator=(const RecursiveLock&) = delete;

    void lock() noexcept
    {
        EnterCriticalSection(&section_);
        if (depth_++ == 0) {
            owner_.store(GetCurrentThreadId());
        }
    }

    void unlock() noexcept
    {
        if (--depth_ == 0) {
            owner_.store(0);
        }
        LeaveCriticalSection(&section_);
    }

    // Whether the calling thread holds the lock. Only the holder writes its
    // own id, so any thread may ask without taking the lock.
    [[nodiscard]] bool heldByCallingThread() const noexcept { return owner_.load() == GetCurrentThreadId(); }

private:
    CRITICAL_SECTION section_;
    int depth_ = 0;  // written by the holder only
    std::atomic<DWORD> owner_{0};
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
