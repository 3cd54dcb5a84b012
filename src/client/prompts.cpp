#include "client/prompts.h"

#include <algorithm>

#include "platform/clock.h"
#include "platform/windows_ui.h"

namespace zelvo {

namespace {

[[nodiscard]] bool hasRecorded(const PromptTracker& tracker, HWND popup)
{
    return std::find(tracker.recorded.begin(), tracker.recorded.end(), popup) != tracker.recorded.end();
}

[[nodiscard]] bool isUnrecorded(const PromptTracker& tracker, HWND popup)
{
    return popup != nullptr && !hasRecorded(tracker, popup);
}

[[nodiscard]] bool isNewPrompt(const PromptTracker& tracker, HWND popup)
{
    return isUnrecorded(tracker, popup) && findDescendantById(popup, tracker.buttonId) != nullptr;
}

}  // namespace

void recordPopup(PromptTracker& tracker, HWND popup)
{
    tracker.popup = popup;
    if (!hasRecorded(tracker, popup)) {
        tracker.recorded.push_back(popup);
    }
}

bool waitForPrompt(PromptTracker& tracker, HWND mainWindow, DWORD timeoutMs)
{
    const Deadline deadline(timeoutMs);
    do {
        // The caller's own queue keeps moving while it waits, as it would
        // between two of its calls.
        pumpOneMessage();
        Sleep(1);
        const HWND candidate = enabledPopup(mainWindow);
        if (isNewPrompt(tracker, candidate)) {
            recordPopup(tracker, candidate);
            return true;
        }
    } while (!deadline.expired() && IsWindow(mainWindow));
    return false;
}

bool waitForAnyPopup(PromptTracker& tracker, HWND mainWindow, DWORD timeoutMs)
{
    const Deadline deadline(timeoutMs);
    do {
        const HWND candidate = enabledPopup(mainWindow);
        if (isUnrecorded(tracker, candidate)) {
            recordPopup(tracker, candidate);
            return true;
        }
        Sleep(1);
    } while (!deadline.expired() && IsWindow(mainWindow));
    return false;
}

bool waitUntilClosed(HWND window, DWORD timeoutMs)
{
    const Deadline deadline(timeoutMs);
    while (IsWindow(window)) {
        if (deadline.expired()) {
            return false;
        }
        Sleep(1);
    }
    return true;
}

std::string readCaption(const PromptTracker& tracker)
{
    return windowText(tracker.popup);
}

std::string readText(const PromptTracker& tracker)
{
    return windowText(findDescendantById(tracker.popup, tracker.textId));
}

void clickButton(const PromptTracker& tracker)
{
    sendButtonClick(findDescendantById(tracker.popup, tracker.buttonId));
}

void postClickButton(const PromptTracker& tracker)
{
    postButtonClick(findDescendantById(tracker.popup, tracker.buttonId));
}

bool fillCheckAndConfirm(const DialogFill& fill, const std::string& text)
{
    const HWND edit = findDescendantById(fill.dialog, fill.editId);
    const HWND check = findDescendantById(fill.dialog, fill.checkId);
    const HWND button = findDescendantById(fill.dialog, fill.buttonId);
    if (edit == nullptr || check == nullptr || button == nullptr) {
        return false;
    }
    SetWindowTextA(edit, text.c_str());
    SendMessageA(check, BM_SETCHECK, BST_CHECKED, 0);
    sendButtonClick(button);
    return true;
}

}  // namespace zelvo
