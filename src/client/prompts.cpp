#include "client/prompts.h"

#include <algorithm>

#include "platform/clock.h"
#include "platform/fine_timer.h"
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

namespace {

// Whether a wait should look again: its time is not up, the main window
// still exists and the client's thread still answers.
[[nodiscard]] bool keepWaiting(const Client& client, const Deadline& deadline)
{
    return !deadline.expired() && client.alive() && client.answering();
}

}  // namespace

bool waitForPrompt(const Client& client, PromptTracker& tracker, DWORD timeoutMs)
{
    const FineTimer fineTimer;
    const Deadline deadline(timeoutMs);
    do {
        // The caller's own queue keeps moving while it waits, as it would
        // between two of its calls.
        pumpOneMessage();
        Sleep(bounds::pollPauseMs);
        const HWND candidate = enabledPopup(client.mainWindow);
        if (isNewPrompt(tracker, candidate)) {
            recordPopup(tracker, candidate);
            return true;
        }
    } while (keepWaiting(client, deadline));
    return false;
}

bool waitForAnyPopup(const Client& client, PromptTracker& tracker, DWORD timeoutMs)
{
    const FineTimer fineTimer;
    const Deadline deadline(timeoutMs);
    do {
        const HWND candidate = enabledPopup(client.mainWindow);
        if (isUnrecorded(tracker, candidate)) {
            recordPopup(tracker, candidate);
            return true;
        }
        Sleep(bounds::pollPauseMs);
    } while (keepWaiting(client, deadline));
    return false;
}

bool waitUntilClosed(const Client& client, HWND window, DWORD timeoutMs)
{
    const FineTimer fineTimer;
    const Deadline deadline(timeoutMs);
    while (IsWindow(window)) {
        if (!keepWaiting(client, deadline)) {
            return false;
        }
        Sleep(bounds::pollPauseMs);
    }
    return true;
}

std::string readCaption(const Client& client, const PromptTracker& tracker)
{
    return windowText(client.channel, tracker.popup);
}

std::string readText(const Client& client, const PromptTracker& tracker)
{
    return windowText(client.channel, findDescendantById(tracker.popup, tracker.textId));
}

bool clickButton(const Client& client, const PromptTracker& tracker)
{
    return sendButtonClick(client.channel, findDescendantById(tracker.popup, tracker.buttonId));
}

bool postClickButton(const Client& client, const PromptTracker& tracker)
{
    return postButtonClick(client.channel, findDescendantById(tracker.popup, tracker.buttonId));
}

bool fillCheckAndConfirm(const Client& client, const DialogFill& fill, const std::string& text)
{
    const HWND edit = findDescendantById(fill.dialog, fill.editId);
    const HWND check = findDescendantById(fill.dialog, fill.checkId);
    const HWND button = findDescendantById(fill.dialog, fill.buttonId);
    if (edit == nullptr || check == nullptr || button == nullptr) {
        return false;
    }
    MessageChannel& channel = client.channel;
    if (setWindowText(channel, edit, text) && channel.send(check, BM_SETCHECK, BST_CHECKED, 0)) {
        static_cast<void>(sendButtonClick(channel, button));
    }
    return true;
}

}  // namespace zelvo
