#include "client_floor.h"

#include <commctrl.h>

#include <algorithm>

#include "order_desk.h"
#include "texts.h"

namespace bench {

namespace {

namespace ids = substitute::ids;

constexpr int queryButtonId = 1140;
constexpr DWORD finishLimitMs = 30000;

double nowMs()
{
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Lives on the client's window thread while a floor run is under way; the
// benchmark's thread reads it once `done` is set.
struct Answering {
    WNDPROC original = nullptr;
    HANDLE done = nullptr;
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

LRESULT CALLBACK mainFrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_ENTERIDLE && wParam == MSGF_DIALOGBOX) {
        answer(reinterpret_cast<HWND>(lParam));
    }
    return CallWindowProcA(answering.original, window, message, wParam, lParam);
}

}  // namespace

ClientFloor::ClientFloor(substitute::Client& client) : client_(client), done_(CreateEventA(nullptr, FALSE, FALSE, nullptr))
{
    answering.done = done_;
    client_.onUi([&] {
        answering.original = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
            client_.mainWindow(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&mainFrameProc)));
    });
}

ClientFloor::~ClientFloor()
{
    client_.onUi([&] {
        SetWindowLongPtrA(client_.mainWindow(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(answering.original));
    });
    CloseHandle(done_);
}

bool ClientFloor::awaitAnswers(double& lastAnswerMs)
{
    const bool finished = WaitForSingleObject(done_, finishLimitMs) == WAIT_OBJECT_0;
    client_.onUi([&] {
        answering.expected = 0;
        lastAnswerMs = answering.lastAnswerMs;
    });
    return finished;
}

double ClientFloor::orderMs(const std::string& caption, int prompts)
{
    const substitute::OrderControlSet& controls = substitute::ordinaryOrderControls;
    double start = 0;
    client_.onUi([&] {
        answering.answered.clear();
        answering.expected = prompts;
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

double ClientFloor::cancelMs(const std::string& caption, int prompts)
{
    const HWND page = client_.page(caption);
    double refreshStart = 0;
    client_.onUi([&] {
        refreshStart = nowMs();
        postClick(page, queryButtonId);
    });
    const DWORD waitStart = GetTickCount();
    while (client_.queries().lastStatusSetMs() < refreshStart && GetTickCount() - waitStart < finishLimitMs) {
        Sleep(1);
    }
    const double refresh = client_.queries().lastStatusSetMs() - refreshStart;

    static NMITEMACTIVATE activation = {};
    double start = 0;
    client_.onUi([&] {
        answering.answered.clear();
        answering.expected = prompts;
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
