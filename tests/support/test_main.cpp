// The test programs' entry point. The gtest thread plays the caller inside
// the trading client: it has no COM apartment of its own, as a plain worker
// thread of the host would not.
//
// Options after gtest's own:
//   --shape NAME   every substitute client of the run takes the shape NAME
//                  (plain, realistic: substitute/shape.h)
//   --dpi-aware    the process is per-monitor DPI aware, as a client built
//                  for high-DPI screens is (before any window is made)
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <optional>

#include "shape.h"

namespace {

template <typename Function>
Function user32Function(const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), name)));
}

// Per-monitor aware, version 2 where the system has it. Wine makes every
// process per-monitor aware from its start and refuses to change it: that
// counts as done.
bool makeProcessDpiAware()
{
    const auto set = user32Function<BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT)>("SetProcessDpiAwarenessContext");
    const auto current = user32Function<DPI_AWARENESS_CONTEXT(WINAPI*)()>("GetThreadDpiAwarenessContext");
    const auto awareness = user32Function<DPI_AWARENESS(WINAPI*)(DPI_AWARENESS_CONTEXT)>(
        "GetAwarenessFromDpiAwarenessContext");
    if (set == nullptr || current == nullptr || awareness == nullptr) {
        return false;
    }
    return set(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2) != FALSE ||
           set(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE) != FALSE ||
           awareness(current()) == DPI_AWARENESS_PER_MONITOR_AWARE;
}

// The pointer in the screen's far corner, off every substitute client's
// windows. Under Wine 8.0 a client's UI thread setting the cursor for a
// window under the pointer (WM_SETCURSOR) while its second thread creates a
// pop-up owned by that thread's main frame once never returned (both threads
// inside win32u; seen once in the realistic client's cases). The library
// puts the pointer back where it found it after the tree clicks of a login,
// so parked here it stays off the client's windows.
void parkPointer()
{
    SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
}

}  // namespace

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    for (int index = 1; index < argc; ++index) {
        if (std::strcmp(argv[index], "--shape") == 0 && index + 1 < argc) {
            const std::optional<substitute::Shape> shape = substitute::shapeNamed(argv[++index]);
            if (!shape) {
                std::fprintf(stderr, "unknown shape %s\n", argv[index]);
                return 2;
            }
            substitute::setProcessShape(*shape);
        } else if (std::strcmp(argv[index], "--dpi-aware") == 0 && !makeProcessDpiAware()) {
            std::fprintf(stderr, "the process could not be made DPI aware\n");
            return 2;
        }
    }
    parkPointer();
    return RUN_ALL_TESTS();
}
