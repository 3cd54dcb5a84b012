// zelvo-stall PID MILLISECONDS: the client of process PID stops answering
// for that long, as a real client does while it reconnects. The thread of its
// main frame (its UI thread) is suspended, then resumed; the service in the
// same process goes on. For the service's tests only.
//
// Prints "stalled THREAD" once the thread is suspended and "resumed" at the
// end; exits 1 with a message when there is no such window or thread.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "handles.h"

namespace {

struct Search {
    DWORD processId = 0;
    DWORD threadId = 0;
};

BOOL CALLBACK findUiThread(HWND window, LPARAM raw) noexcept
{
    auto* search = reinterpret_cast<Search*>(raw);
    DWORD processId = 0;
    const DWORD threadId = GetWindowThreadProcessId(window, &processId);
    // The main frame, shown or hidden (zelvo.dll hides it while it works),
    // and no thread's hidden helper windows, which have no caption.
    const bool framed = (GetWindowLongW(window, GWL_STYLE) & WS_CAPTION) == WS_CAPTION;
    if (processId == search->processId && framed && GetWindow(window, GW_OWNER) == nullptr) {
        search->threadId = threadId;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: zelvo-stall PID MILLISECONDS\n");
        return 2;
    }
    Search search;
    search.processId = static_cast<DWORD>(std::strtoul(argv[1], nullptr, 10));
    const DWORD stallMs = static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10));
    EnumWindows(findUiThread, reinterpret_cast<LPARAM>(&search));
    if (search.threadId == 0) {
        std::fprintf(stderr, "zelvo-stall: process %lu has no main frame\n", static_cast<unsigned long>(search.processId));
        return 1;
    }
    const zelvo_common::UniqueHandle thread(OpenThread(THREAD_SUSPEND_RESUME, FALSE, search.threadId));
    if (!thread || SuspendThread(thread.get()) == static_cast<DWORD>(-1)) {
        std::fprintf(stderr, "zelvo-stall: thread %lu cannot be suspended (error %lu)\n",
                     static_cast<unsigned long>(search.threadId), GetLastError());
        return 1;
    }
    std::printf("stalled %lu\n", static_cast<unsigned long>(search.threadId));
    std::fflush(stdout);
    Sleep(stallMs);
    ResumeThread(thread.get());
    std::printf("resumed\n");
    return 0;
}
