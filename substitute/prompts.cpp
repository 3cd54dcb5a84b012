#include "prompts.h"

#include <commctrl.h>

#include "dialogs.h"
#include "texts.h"

namespace substitute {

namespace {

constexpr UINT_PTR selfCloseTimer = 1;
constexpr char okText[] = "确定";

struct PromptRun {
    const PromptLayout& layout;
    const PromptRecorder& recorder;
};

// Another thread reading the prompt's title or message.
void noteRead(const PromptRun& run, UINT message)
{
    if (message == WM_GETTEXT && InSendMessage() && run.recorder.read) {
        run.recorder.read();
    }
}

LRESULT CALLBACK messageProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR run)
{
    noteRead(*reinterpret_cast<const PromptRun*>(run), message);
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(control, messageProc, id);
    }
    return DefSubclassProc(control, message, wParam, lParam);
}

void buildPrompt(HWND dialog, const PromptRun& run)
{
    SetWindowTextA(dialog, run.layout.title.c_str());
    if (run.layout.withMessage) {
        HWND text = addControl(dialog, "Static", run.layout.text, WS_VISIBLE, ids::promptText, 10, 10, 300, 60);
        SetWindowSubclass(text, messageProc, 0, reinterpret_cast<DWORD_PTR>(&run));
    }
    if (run.layout.withButton) {
        addControl(dialog, "Button", okText, WS_VISIBLE | BS_DEFPUSHBUTTON, ids::promptButton, 120, 76, 80, 24);
    }
    if (run.layout.selfCloseMs > 0) {
        SetTimer(dialog, selfCloseTimer, run.layout.selfCloseMs, nullptr);
    }
    if (run.recorder.shown) {
        run.recorder.shown();
    }
}

// The way the message ends the prompt, if it does.
bool endingOf(const PromptLayout& layout, UINT message, WPARAM wParam, PromptEnd& end)
{
    if (message == WM_COMMAND && LOWORD(wParam) == ids::promptButton && layout.withButton) {
        end = PromptEnd::Confirmed;
    } else if (message == WM_CLOSE || (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL)) {
        end = PromptEnd::Dismissed;
    } else if (message == WM_TIMER && wParam == selfCloseTimer) {
        end = PromptEnd::WentByItself;
    } else {
        return false;
    }
    return true;
}

INT_PTR CALLBACK promptProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        buildPrompt(dialog, *reinterpret_cast<const PromptRun*>(lParam));
        return TRUE;
    }
    const auto* run = reinterpret_cast<const PromptRun*>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (run != nullptr) {
        noteRead(*run, message);
    }
    PromptEnd end = PromptEnd::Dismissed;
    if (run == nullptr || !endingOf(run->layout, message, wParam, end)) {
        return FALSE;
    }
    KillTimer(dialog, selfCloseTimer);
    if (run->recorder.ended) {
        run->recorder.ended(end);
    }
    EndDialog(dialog, static_cast<INT_PTR>(end));
    return TRUE;
}

}  // namespace

PromptEnd runPrompt(HWND owner, const PromptLayout& layout, const PromptRecorder& recorder)
{
    const PromptRun run{layout, recorder};
    const INT_PTR result = runModalDialog(owner, promptProc, reinterpret_cast<LPARAM>(&run));
    // Anything else: the dialog could not be made or was destroyed with its owner.
    const bool known = result >= static_cast<INT_PTR>(PromptEnd::Confirmed) &&
                       result <= static_cast<INT_PTR>(PromptEnd::WentByItself);
    return known ? static_cast<PromptEnd>(result) : PromptEnd::Dismissed;
}

}  // namespace substitute
