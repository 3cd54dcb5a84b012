#include "incidents.h"

#include <chrono>

#include "ui_thread.h"

namespace substitute {

namespace {

// The client whose backlog the hooks record, on its UI thread; one drains at a time.
thread_local Incidents* draining = nullptr;

// What the library posts to the client: clicks, notifications and mouse buttons.
bool isPostedByTheLibrary(UINT message)
{
    return message == WM_COMMAND || message == WM_NOTIFY || message == WM_LBUTTONDOWN || message == WM_LBUTTONUP;
}

LRESULT CALLBACK sentProc(int code, WPARAM fromThisThread, LPARAM lParam)
{
    // Wine's own window messages (0x80000000 and up) are not the caller's.
    if (code == HC_ACTION && fromThisThread == 0 && draining != nullptr) {
        const UINT message = reinterpret_cast<const CWPSTRUCT*>(lParam)->message;
        if (message < 0x80000000u) {
            draining->recordSent(message);
        }
    }
    return CallNextHookEx(nullptr, code, fromThisThread, lParam);
}

LRESULT CALLBACK postedProc(int code, WPARAM removal, LPARAM lParam)
{
    if (code == HC_ACTION && removal == PM_REMOVE && draining != nullptr) {
        const UINT message = reinterpret_cast<const MSG*>(lParam)->message;
        if (isPostedByTheLibrary(message)) {
            draining->recordPosted(message);
        }
    }
    return CallNextHookEx(nullptr, code, removal, lParam);
}

}  // namespace

void Incidents::plan(Incident incident, std::function<void()> action)
{
    std::lock_guard<std::mutex> guard(mutex_);
    planned_ = std::move(incident);
    plannedAction_ = std::move(action);
    plannedFlag_ = true;
    stalling_ = false;
    drained_ = false;
    backlog_ = {};
}

bool Incidents::due(Moment moment, const std::string& text, int row)
{
    std::lock_guard<std::mutex> guard(mutex_);
    if (!planned_ || planned_->at != moment) {
        return false;
    }
    if (moment == Moment::PromptRead && text.find(planned_->match) == std::string::npos) {
        return false;
    }
    if (moment == Moment::CellRead && planned_->row >= 0 && planned_->row != row) {
        return false;
    }
    return true;
}

bool Incidents::reach(Moment moment, HWND mainWindow, const std::string& text, int row)
{
    if (!due(moment, text, row)) {
        return false;
    }
    DWORD stallMs = 0;
    std::function<void()> action;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        stallMs = planned_->stallMs;
        action = std::move(plannedAction_);
        planned_.reset();
        plannedFlag_ = false;
    }
    if (action) {
        action();
    } else if (stallMs == 0) {
        DestroyWindow(mainWindow);
    } else {
        stall(stallMs);
    }
    return true;
}

// Blocks the UI thread without handling any message, then records what
// waited meanwhile until a marker posted now comes through.
void Incidents::stall(DWORD stallMs)
{
    {
        std::lock_guard<std::mutex> guard(mutex_);
        stalling_ = true;
    }
    changed_.notify_all();
    Sleep(stallMs);
    draining = this;
    sentHook_.reset(SetWindowsHookExA(WH_CALLWNDPROC, sentProc, nullptr, GetCurrentThreadId()));
    postedHook_.reset(SetWindowsHookExA(WH_GETMESSAGE, postedProc, nullptr, GetCurrentThreadId()));
    ui_.post([this] { drainBacklog(); });
}

void Incidents::drainBacklog()
{
    sentHook_.reset();
    postedHook_.reset();
    draining = nullptr;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        drained_ = true;
    }
    changed_.notify_all();
}

void Incidents::recordSent(UINT message)
{
    std::lock_guard<std::mutex> guard(mutex_);
    backlog_.sent.push_back(message);
}

void Incidents::recordPosted(UINT message)
{
    std::lock_guard<std::mutex> guard(mutex_);
    backlog_.posted.push_back(message);
}

bool Incidents::waitForStall(DWORD waitMs) const
{
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(waitMs), [this] { return stalling_; });
}

std::optional<Backlog> Incidents::waitForBacklog(DWORD waitMs) const
{
    std::unique_lock<std::mutex> lock(mutex_);
    if (!changed_.wait_for(lock, std::chrono::milliseconds(waitMs), [this] { return drained_; })) {
        return std::nullopt;
    }
    return backlog_;
}

}  // namespace substitute
