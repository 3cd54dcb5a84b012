#include "ui_thread.h"

#include <objbase.h>
#include <ole2.h>

#include <memory>

namespace substitute {

namespace {

constexpr UINT runWorkMessage = WM_APP + 1;
constexpr UINT postedWorkMessage = WM_APP + 2;
const char runnerClass[] = "SubstituteRunner";

LRESULT CALLBACK runnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == runWorkMessage) {
        (*reinterpret_cast<const std::function<void()>*>(lParam))();
        return 0;
    }
    if (message == postedWorkMessage) {
        const std::unique_ptr<std::function<void()>> work(reinterpret_cast<std::function<void()>*>(lParam));
        (*work)();
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Dispatches what is queued for this thread; false when it was told to quit
// (the quit message is put back for the thread's own loop).
bool dispatchQueued()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return false;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return true;
}

void registerRunnerClass()
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = runnerProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = runnerClass;
    RegisterClassA(&windowClass);
}

}  // namespace

UiThread::UiThread(std::function<void()> onStart) : onStart_(std::move(onStart))
{
    thread_ = std::thread([this] { main(); });
    WaitForSingleObject(ready_.get(), INFINITE);
}

UiThread::~UiThread()
{
    PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
    thread_.join();
}

void UiThread::main()
{
    // A real framework application initialises COM on its UI thread; the
    // accessible toolbar depends on it.
    OleInitialize(nullptr);
    if (onStart_) {
        onStart_();
    }
    threadId_ = GetCurrentThreadId();
    registerRunnerClass();
    runner_ = CreateWindowExA(0, runnerClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleA(nullptr), nullptr);
    SetEvent(ready_.get());
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    DestroyWindow(runner_);
    OleUninitialize();
}

void UiThread::run(const std::function<void()>& work)
{
    if (GetCurrentThreadId() == threadId_) {
        work();
        return;
    }
    SendMessageA(runner_, runWorkMessage, 0, reinterpret_cast<LPARAM>(&work));
}

void UiThread::post(std::function<void()> work)
{
    auto queued = std::make_unique<std::function<void()>>(std::move(work));
    if (PostMessageA(runner_, postedWorkMessage, 0, reinterpret_cast<LPARAM>(queued.get()))) {
        static_cast<void>(queued.release());  // the runner frees it
    }
}

void pumpFor(DWORD milliseconds)
{
    (void)pumpUntil(nullptr, milliseconds);
}

bool pumpUntil(HANDLE event, DWORD milliseconds)
{
    const DWORD count = event == nullptr ? 0 : 1;
    const ULONGLONG end = GetTickCount64() + milliseconds;
    for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
        const DWORD woke = MsgWaitForMultipleObjects(count, &event, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
        if (count == 1 && woke == WAIT_OBJECT_0) {
            return true;
        }
        if (!dispatchQueued()) {
            return false;
        }
    }
    return false;
}

}  // namespace substitute
