#include "client_floor.h"

#include <commctrl.h>

#include <algorithm>
#include <mutex>

#include "clock.h"
#include "order_desk.h"
#include "texts.h"
#include "ui_thread.h"

namespace bench {

namespace {

namespace ids = substitute::ids;

constexpr DWORD finishLimitMs = 30000;

// Shared by the client's threads that show prompts (its UI thread, and the
// second thread of a client that shows its final prompts there) while a floor
// run is under way; the benchmark's thread reads it once `done` is set.
struct Answering {
    std::mutex mutex;
    HANDLE done = nullptr;
    WNDPROC mainFrameProc = nullptr;
    AnswerWhen when = AnswerWhen::Shown;
    int expected = 0;
    std::vector<HWND> answered;
    double lastAnswerMs = 0;
};
Answering answering;

struct ControlSearch {
    int id;
    HWND found;
};

BOOL CALLBACK matchControl(HWND window, LPARAM parameter)
{
    auto& search = *reinterpret_cast<ControlSearch*>(parameter);
    if (GetDlgCtrlID(window) != search.id) {
        return TRUE;
    }
    search.found = window;
    return FALSE;
}

HWND findControl(HWND parent, int id)
{
    ControlSearch search{id, nullptr};
    EnumChildWindows(parent, matchControl, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void postClick(HWND dialog, int id)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// Answers a prompt with its button, the password dialog with a password.
void answer(HWND dialog)
{
    const std::lock_guard<std::mutex> lock(answering.mutex);
    if (answering.expected == 0 ||
        std::find(answering.answered.begin(), answering.answered.end(), dialog) != answering.answered.end()) {
        return;
    }
    if (GetDlgItem(dialog, ids::passwordEdit) != nullptr) {
        SetDlgItemTextA(dialog, ids::passwordEdit, "123456");
        CheckDlgButton(dialog, ids::passwordCheck, BST_CHECKED);
        postClick(dialog, ids::passwordOk);
    } else if (GetDlgItem(dialog, ids::promptButton) != nullptr) {
        postClick(dialog, ids::promptButton);
    } else {
        return;
    }
    answering.answered.push_back(dialog);
    answering.lastAnswerMs = nowMs();
    if (static_cast<int>(answering.answered.size()) == answering.expected) {
        answering.expected = 0;
        SetEvent(answering.done);
    }
}

// Shown: a prompt is answered when it is activated, the earliest moment
// anything outside the dialog could see it, before it is painted. A CBT hook
// is called for a few events per window, not for every message, so it
// leaves the client's pace alone.
LRESULT CALLBACK activationHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE && answering.when == AnswerWhen::Shown) {
        answer(reinterpret_cast<HWND>(wParam));
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Idle: a prompt is answered once its modal loop has nothing left to do,
// painting included (WM_ENTERIDLE to the owner, the main frame).
LRESULT CALLBACK idleWatchingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_ENTERIDLE && wParam == MSGF_DIALOGBOX && answering.when == AnswerWhen::Idle) {
        answer(reinterpret_cast<HWND>(lParam));
    }
    return IsWindowUnicode(window) ? CallWindowProcW(answering.mainFrameProc, window, message, wParam, lParam)
                                   : CallWindowProcA(answering.mainFrameProc, window, message, wParam, lParam);
}

// The main frame's procedure replaced as the frame's own kind, so that a
// Unicode frame stays a Unicode window.
WNDPROC replaceProcedure(HWND window, WNDPROC procedure)
{
    const auto value = reinterpret_cast<LONG_PTR>(procedure);
    return reinterpret_cast<WNDPROC>(IsWindowUnicode(window) ? SetWindowLongPtrW(window, GWLP_WNDPROC, value)
                                                             : SetWindowLongPtrA(window, GWLP_WNDPROC, value));
}

HHOOK hookActivations()
{
    return SetWindowsHookExA(WH_CBT, activationHook, nullptr, GetCurrentThreadId());
}

void arm(int prompts, AnswerWhen when)
{
    const std::lock_guard<std::mutex> lock(answering.mutex);
    answering.answered.clear();
    answering.expected = prompts;
    answering.when = when;
}

}  // namespace

ClientFloor::ClientFloor(substitute::Client& client)
    : client_(client), done_(zelvo_common::createEvent(zelvo_common::EventReset::Automatic, false))
{
    answering.done = done_.get();
    client_.onUi([&] {
        hook_ = hookActivations();
        answering.mainFrameProc = replaceProcedure(client_.mainWindow(), &idleWatchingProc);
    });
    // A client whose final prompts come from its second thread answers them
    // there: the hook sees the activations of its own thread only.
    if (client_.setup().popupsFromAnotherThread) {
        client_.secondThread().run([&] { secondHook_ = hookActivations(); });
    }
}

ClientFloor::~ClientFloor()
{
    if (secondHook_ != nullptr) {
        client_.secondThread().run([&] { UnhookWindowsHookEx(secondHook_); });
    }
    client_.onUi([&] {
        UnhookWindowsHookEx(hook_);
        replaceProcedure(client_.mainWindow(), answering.mainFrameProc);
    });
}

bool ClientFloor::awaitAnswers(double& lastAnswerMs)
{
    const bool finished = WaitForSingleObject(done_.get(), finishLimitMs) == WAIT_OBJECT_0;
    client_.onUi([&] {
        const std::lock_guard<std::mutex> lock(answering.mutex);
        answering.expected = 0;
        lastAnswerMs = answering.lastAnswerMs;
    });
    return finished;
}

double ClientFloor::orderMs(const std::string& caption, int prompts, AnswerWhen when)
{
    const substitute::ids::OrderControlSet& controls = substitute::ids::ordinaryOrderControls;
    double start = 0;
    client_.onUi([&] {
        arm(prompts, when);
        const HWND page = client_.page(caption);
        SetWindowTextA(findControl(page, controls.code), "600000");
        SetWindowTextA(findControl(page, controls.price), "10.500");
        SetWindowTextA(findControl(page, controls.quantity), "100");
        start = nowMs();
        postClick(page, controls.button);
    });
    double end = 0;
    return awaitAnswers(end) ? end - start : -1;
}

double ClientFloor::cancelMs(const std::string& caption, int prompts, AnswerWhen when)
{
    const HWND page = client_.page(caption);
    double refreshStart = 0;
    client_.onUi([&] {
        refreshStart = nowMs();
        postClick(page, ids::queryButton);
    });
    const DWORD waitStart = GetTickCount();
    while (client_.queries().lastStatusSetMs() < refreshStart && GetTickCount() - waitStart < finishLimitMs) {
        Sleep(1);
    }
    const double refresh = client_.queries().lastStatusSetMs() - refreshStart;

    static NMITEMACTIVATE activation = {};
    double start = 0;
    client_.onUi([&] {
        arm(prompts, when);
        const HWND list = FindWindowExA(page, nullptr, WC_LISTVIEWA, nullptr);
        LVITEMA state = {};
        state.stateMask = state.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageA(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&state));
        activation = {};
        activation.hdr = {list, static_cast<UINT_PTR>(GetDlgCtrlID(list)), static_cast<UINT>(NM_DBLCLK)};
        activation.iItem = 0;
        start = nowMs();
        PostMessageA(page, WM_NOTIFY, activation.hdr.idFrom, reinterpret_cast<LPARAM>(&activation));
    });
    double end = 0;
    return refresh >= 0 && awaitAnswers(end) ? refresh + (end - start) : -1;
}

}  // namespace bench
