// A 1 ms system timer for the length of one wait. At the system's default
// resolution a Sleep(1) lasts up to a whole timer tick (15.6 ms on Windows),
// so each 1 ms poll of a wait on the client could cost that much. The finer
// timer is asked for only while a wait polls and given back when it ends,
// as the system's documentation asks (it raises the whole machine's timer
// rate while held).
#pragma once
#include <windows.h>
#include <mmsystem.h>

namespace zelvo {

class FineTimer {
public:
    FineTimer() noexcept : granted_(timeBeginPeriod(1) == TIMERR_NOERROR) {}
    ~FineTimer()
    {
        if (granted_) {
            timeEndPeriod(1);
        }
    }
    FineTimer(const FineTimer&) = delete;
    FineTimer& operator=(const FineTimer&) = delete;

private:
    bool granted_;
};

}  // namespace zelvo
