// A gate at a chosen moment of the client (incidents.h names the moments):
// while a test keeps it closed, the client's UI thread stops there and waits
// for the test, still dispatching its messages as a busy client does. Closed
// at Moment::TreeClicked it holds a caller inside Zelvo_Login, whose tree
// click waits for the client's answer; the test then looks at what other
// callers do meanwhile, with no timing involved.
#pragma once
#include <windows.h>

#include <atomic>

#include "handles.h"
#include "incidents.h"

namespace substitute {

class Gate {
public:
    Gate();
    Gate(const Gate&) = delete;
    Gate& operator=(const Gate&) = delete;

    // The next time the client reaches `moment`, it waits there.
    void close(Moment moment) noexcept;
    // Lets a waiting client go on, and every later one pass.
    void open() noexcept;
    // True once the client waits at the closed gate; false when it did not
    // get there within `boundMs`.
    [[nodiscard]] bool awaitHeld(DWORD boundMs) const noexcept;

    // On the UI thread at each moment: waits while the gate is closed at this
    // one, dispatching messages, for `holdLimitMs` at most, so that a test
    // that never opens it cannot hang the client for good.
    void pass(Moment moment) noexcept;

private:
    static constexpr DWORD holdLimitMs = 60000;

    std::atomic<Moment> at_{Moment::Now};
    zelvo_common::UniqueEvent opened_;
    zelvo_common::UniqueEvent held_;
};

}  // namespace substitute
