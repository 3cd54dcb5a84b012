// Bounded exchanges with another thread's windows. The trading client's
// user-interface thread can stop answering for seconds (a slow network call
// made on it, a reconnect, a long repaint); a plain SendMessage would then
// hold the caller, and the session lock with it, for as long. Every message
// the library sends to the client goes through a MessageChannel instead: it
// waits a bounded time, and once one message goes unanswered the channel is
// lost and sends nothing more.
//
// A message given up on is still delivered when the client's thread wakes,
// and the client then writes through the pointers it carries. Such memory is
// a MessageBuffer, and the channel hands it to PendingBuffers, which keeps it
// alive until that message has been handled: for a read handled by the
// control's own code, until a later message to the same thread has been
// answered (a thread handles the messages sent to it in order); for a
// message that runs the client's own code, for the session's life, since
// that code can run a modal loop and answer later messages from inside it.
#pragma once
#include <windows.h>

#include <cstddef>
#include <initializer_list>
#include <memory>
#include <optional>
#include <vector>

namespace zelvo {

// Memory a message points into (a text buffer, a list-view item, a
// notification record), zeroed, with guard bytes on both sides that show
// whether anything was written past its ends.
class MessageBuffer {
public:
    // Zeroed, or left as allocated for a buffer whose user writes before it reads.
    enum class Fill { Zeroed, Unset };

    explicit MessageBuffer(std::size_t bytes, Fill fill = Fill::Zeroed);

    [[nodiscard]] char* bytes() noexcept { return storage_.get() + guardBytes; }
    [[nodiscard]] std::size_t size() const noexcept { return size_; }
    [[nodiscard]] LPARAM address() noexcept { return reinterpret_cast<LPARAM>(bytes()); }

    // The buffer's start seen as a plain record (LVITEMA, NMHDR, RECT ...).
    template <typename Record>
    [[nodiscard]] Record& record() noexcept
    {
        static_assert(alignof(Record) <= guardBytes, "records are aligned by the guard's size");
        return *reinterpret_cast<Record*>(bytes());
    }

    [[nodiscard]] bool guardsIntact() const noexcept;

    // Gives up ownership without freeing: the memory stays allocated for good,
    // or until whoever holds allocation() frees it with delete[].
    void abandon() noexcept { static_cast<void>(storage_.release()); }
    [[nodiscard]] char* allocation() noexcept { return storage_.get(); }

    static constexpr std::size_t guardBytes = 16;

private:
    std::unique_ptr<char[]> storage_;
    std::size_t size_;
};

// When the memory of a message given up on may be freed.
enum class Release {
    // Once a later message to the same thread has been answered. For reads
    // the window's own control code answers (a text, a list cell, a tree
    // item, a combo box entry): it lets no other message in before it
    // returns, so an answer to a later one proves it has returned.
    AfterLaterAnswer,
    // Never: the message runs the client's own code (a notification, a text
    // its window reacts to), which can open a modal loop and answer later
    // messages from inside it; no answer proves it has returned. Left
    // allocated for good.
    Never,
};

// Which of the two a message's memory needs.
[[nodiscard]] Release releaseOf(UINT message) noexcept;

// The buffers of messages the client's thread has not handled yet, owned by
// the session until it has. Whatever is still held when the library unloads
// is left allocated, never freed: the client may yet write into it.
class PendingBuffers {
public:
    PendingBuffers() = default;
    ~PendingBuffers();
    PendingBuffers(const PendingBuffers&) = delete;
    PendingBuffers& operator=(const PendingBuffers&) = delete;

    void keep(DWORD thread, MessageBuffer buffer, Release release);
    // Whether buffers wait for a later answer of the thread to be freed.
    [[nodiscard]] bool awaitsAnswerOf(DWORD thread) const noexcept;
    // The thread has answered a message sent after every message kept so
    // far: those released by a later answer are freed, their guards checked
    // first.
    void release(DWORD thread) noexcept;
    // More than this many kept means the client keeps going silent: no
    // message carrying a buffer is sent until some are freed.
    [[nodiscard]] bool full() const noexcept { return kept_.size() >= maxKept; }

    [[nodiscard]] std::size_t count() const noexcept { return kept_.size(); }
    // How many buffers were found written past their ends when freed.
    [[nodiscard]] std::size_t brokenGuards() const noexcept { return brokenGuards_; }

    static constexpr std::size_t maxKept = 64;

private:
    struct Kept {
        DWORD thread;
        Release release;
        MessageBuffer buffer;
    };
    std::vector<Kept> kept_;
    std::size_t brokenGuards_ = 0;
};

// The exchanges of one call with the client's thread.
class MessageChannel {
public:
    MessageChannel(PendingBuffers& pending, DWORD answerMs) noexcept : pending_(pending), answerMs_(answerMs) {}

    // Sends the message and waits at most the bound for it to be handled. The
    // message's result; 0 for a window that does not exist (as SendMessage
    // gives). Empty when the message went unanswered, or the channel was
    // lost already and nothing was sent: the buffers in `carried`, which the
    // message points into, are then kept until the client has handled it, and
    // the caller must not read them.
    [[nodiscard]] std::optional<LRESULT> send(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                              std::initializer_list<MessageBuffer*> carried = {});

    // Posts the message (nothing is waited for). False when the channel is
    // lost, and nothing was posted, or the post failed.
    bool post(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

    // Sends a message that carries no pointer without waiting for it: the
    // window's thread handles it as a sent message, ahead of its posted ones.
    // False when the channel is lost, and nothing was sent.
    bool notify(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

    // Whether the window's thread still answers: true at once when it
    // answered a message within the last `probeIntervalMs`, else after a
    // WM_NULL it answers. The check of every wait that sends nothing itself.
    [[nodiscard]] bool answering(HWND window);

    // Keeps `buffer`, which a message given up on points into, until the
    // window's thread has handled that message, as `release` says.
    void keepUntilHandled(HWND window, MessageBuffer buffer, Release release);

    // Sends WM_NULL and waits for it: everything sent to the window's thread
    // before it, asynchronous showing and placing included, has then been
    // handled. False when it went unanswered.
    [[nodiscard]] bool sync(HWND window);

    // A message went unanswered in this call.
    [[nodiscard]] bool lost() const noexcept { return lost_; }
    // An exchange made otherwise (a COM call into the client's thread) went
    // unanswered: nothing more is sent.
    void markLost() noexcept { lost_ = true; }
    // How long the client's thread is given to answer one exchange.
    [[nodiscard]] DWORD answerMs() const noexcept { return answerMs_; }

    static constexpr DWORD probeIntervalMs = 1000;

private:
    [[nodiscard]] bool clearPending(HWND window, DWORD thread);
    void lose(DWORD thread, UINT message, std::initializer_list<MessageBuffer*> carried);

    PendingBuffers& pending_;
    DWORD answerMs_;
    bool lost_ = false;
    ULONGLONG lastAnswerTick_ = 0;
};

}  // namespace zelvo
