#include "platform/message_channel.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include <commctrl.h>

namespace zelvo {

namespace {

constexpr char guardPattern = static_cast<char>(0xFD);

[[nodiscard]] bool allGuard(const char* bytes, std::size_t count) noexcept
{
    return std::all_of(bytes, bytes + count, [](char byte) { return byte == guardPattern; });
}

}  // namespace

MessageBuffer::MessageBuffer(std::size_t bytes, Fill fill)
    : storage_(new char[bytes + 2 * guardBytes]), size_(bytes)
{
    std::memset(storage_.get(), guardPattern, guardBytes);
    if (fill == Fill::Zeroed) {
        std::memset(storage_.get() + guardBytes, 0, bytes);
    }
    std::memset(storage_.get() + guardBytes + bytes, guardPattern, guardBytes);
}

bool MessageBuffer::guardsIntact() const noexcept
{
    return storage_ != nullptr && allGuard(storage_.get(), guardBytes) &&
           allGuard(storage_.get() + guardBytes + size_, guardBytes);
}

PendingBuffers::~PendingBuffers()
{
    // The client may still write into these: leave them allocated.
    for (Kept& kept : kept_) {
        kept.buffer.abandon();
    }
}

Release releaseOf(UINT message) noexcept
{
    switch (message) {
    case WM_GETTEXT:
    case LVM_GETITEMTEXTA:
    case LVM_GETCOLUMNA:
    case TVM_GETITEMA:
    case TVM_GETITEMRECT:
    case CB_GETLBTEXT:
        return Release::AfterLaterAnswer;
    default:
        return Release::Never;
    }
}

void PendingBuffers::keep(DWORD thread, MessageBuffer buffer, Release release)
{
    kept_.push_back(Kept{thread, release, std::move(buffer)});
}

bool PendingBuffers::awaitsAnswerOf(DWORD thread) const noexcept
{
    return std::any_of(kept_.begin(), kept_.end(), [thread](const Kept& kept) {
        return kept.thread == thread && kept.release == Release::AfterLaterAnswer;
    });
}

void PendingBuffers::release(DWORD thread) noexcept
{
    const auto handled = std::stable_partition(kept_.begin(), kept_.end(), [thread](const Kept& kept) {
        return kept.thread != thread || kept.release != Release::AfterLaterAnswer;
    });
    for (auto kept = handled; kept != kept_.end(); ++kept) {
        if (!kept->buffer.guardsIntact()) {
            ++brokenGuards_;
        }
    }
    kept_.erase(handled, kept_.end());
}

std::optional<LRESULT> MessageChannel::send(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                            std::initializer_list<MessageBuffer*> carried)
{
    if (lost_) {
        return std::nullopt;
    }
    const DWORD thread = window == nullptr ? 0 : GetWindowThreadProcessId(window, nullptr);
    if (thread == 0) {
        return 0;  // no such window: nothing to send to
    }
    if (!clearPending(window, thread) || (carried.size() > 0 && pending_.full())) {
        lost_ = true;
        return std::nullopt;
    }
    DWORD_PTR result = 0;
    SetLastError(ERROR_SUCCESS);
    if (SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, answerMs_, &result) != 0) {
        lastAnswerTick_ = GetTickCount64();
        return static_cast<LRESULT>(result);
    }
    if (GetLastError() != ERROR_TIMEOUT) {
        return 0;  // the window went away before it got the message
    }
    lose(thread, message, carried);
    return std::nullopt;
}

bool MessageChannel::post(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    return !lost_ && PostMessageA(window, message, wParam, lParam) != FALSE;
}

void MessageChannel::keepUntilHandled(HWND window, MessageBuffer buffer, Release release)
{
    pending_.keep(GetWindowThreadProcessId(window, nullptr), std::move(buffer), release);
}

bool MessageChannel::notify(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    return !lost_ && SendNotifyMessageA(window, message, wParam, lParam) != FALSE;
}

bool MessageChannel::answering(HWND window)
{
    if (lost_) {
        return false;
    }
    if (GetTickCount64() - lastAnswerTick_ < probeIntervalMs) {
        return true;
    }
    return sync(window);
}

bool MessageChannel::sync(HWND window)
{
    return send(window, WM_NULL, 0, 0).has_value();
}

// Before anything more goes to a thread that left messages unhandled, one
// message without a pointer must be answered: then the earlier ones were
// handled too, and their buffers can go.
bool MessageChannel::clearPending(HWND window, DWORD thread)
{
    if (!pending_.awaitsAnswerOf(thread)) {
        return true;
    }
    DWORD_PTR ignored = 0;
    SetLastError(ERROR_SUCCESS);
    if (SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, answerMs_, &ignored) != 0) {
        pending_.release(thread);
        return true;
    }
    // A window gone meanwhile proves nothing either way; the message that
    // follows finds it gone too.
    return GetLastError() != ERROR_TIMEOUT;
}

void MessageChannel::lose(DWORD thread, UINT message, std::initializer_list<MessageBuffer*> carried)
{
    lost_ = true;
    for (MessageBuffer* buffer : carried) {
        pending_.keep(thread, std::move(*buffer), releaseOf(message));
    }
}

}  // namespace zelvo
