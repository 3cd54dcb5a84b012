// The substitute client's user-interface thread: it owns every window of the
// client, pumps their messages and runs work handed to it by other threads,
// as the real client's one UI thread does.
#pragma once
#include <windows.h>

#include <functional>
#include <thread>

#include "handles.h"

namespace substitute {

class UiThread {
public:
    // `onStart` runs on the new thread before it makes anything (how the
    // thread makes its windows).
    explicit UiThread(std::function<void()> onStart = {});
    ~UiThread();
    UiThread(const UiThread&) = delete;
    UiThread& operator=(const UiThread&) = delete;

    // Runs `work` on the UI thread and returns when it has finished. Works
    // also while the UI thread sits in a modal loop (a sent message is
    // delivered by any message loop).
    void run(const std::function<void()>& work);

    // Queues `work` for the UI thread among its posted messages and returns
    // at once. Also from the UI thread itself.
    void post(std::function<void()> work);


private:
    void main();

    std::function<void()> onStart_;
    std::thread thread_;
    HWND runner_ = nullptr;
    DWORD threadId_ = 0;
    zelvo_common::UniqueEvent ready_ = zelvo_common::createEvent(zelvo_common::EventReset::Manual, false);
};

// Waits `milliseconds` on the UI thread while still dispatching its messages,
// the way the real client stays responsive while a request is under way.
void pumpFor(DWORD milliseconds);

// The same, until `event` is set; true when it was set, false when the time
// ran out or the thread was told to quit.
bool pumpUntil(HANDLE event, DWORD milliseconds);

}  // namespace substitute
