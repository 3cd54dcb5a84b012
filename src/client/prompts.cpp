#include "client/prompts.h"

#include <algorithm>

#include "client/main_frame.h"
#include "platform/clock.h"
#include "platform/fine_timer.h"
#include "platform/windows_ui.h"

namespace zelvo {

bool hasRecorded(const PromptTracker& tracker, HWND popup)
{
    return std::find(tracker.recorded.begin(), tracker.recorded.end(), popup) != tracker.recorded.end();
}

namespace {

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
    if (popup != tracker.popup) {
        tracker.title.reset();
        tracker.message.reset();
    }
    tracker.popup = popup;
    if (!hasRecorded(tracker, popup)) {
        tracker.recorded.push_back(popup);
    }
}

Confirmation confirmationIn(const Client& client, PromptTracker& tracker)
{
    const std::string title = readCaption(client, tracker);
    return confirmationOf(title, readText(client, tracker));
}

PromptVerdict declineConfirmations(const Client& client, PromptTracker& tracker)
{
    return confirmationIn(client, tracker) == Confirmation::None ? PromptVerdict::Take : PromptVerdict::Decline;
}

namespace {

// Whether a wait should look again: its time is not up, the main window
// still exists and the client's thread still answers.
[[nodiscard]] bool keepWaiting(const Client& client, const Deadline& deadline)
{
    return !deadline.expired() && client.alive() && client.answering();
}

enum class Met { Nothing, Taken, Declined };

// Records a pop-up the wait has not met before and puts it to the screen;
// one declined is closed, and stays recorded so that it is not met again
// while it closes.
Met meet(const Client& client, PromptTracker& tracker, HWND candidate, const PromptScreen& screen)
{
    recordPopup(tracker, candidate);
    const PromptVerdict verdict = screen(client, tracker);
    if (client.channel.lost()) {
        return Met::Nothing;
    }
    if (verdict == PromptVerdict::Take) {
        return Met::Taken;
    }
    declinePopup(client, candidate);
    return Met::Declined;
}

}  // namespace

bool waitForPrompt(const Client& client, PromptTracker& tracker, const PromptScreen& screen, DWORD timeoutMs)
{
    const FineTimer fineTimer;
    const Deadline deadline(timeoutMs);
    do {
        // The caller's own queue keeps moving while it waits, as it would
        // between two of its calls.
        pumpOneMessage();
        Sleep(bounds::pollPauseMs);
        const HWND candidate = enabledPopup(client.mainWindow);
        if (isNewPrompt(tracker, candidate) && meet(client, tracker, candidate, screen) == Met::Taken) {
            return true;
        }
    } while (keepWaiting(client, deadline));
    return false;
}

bool waitForAnyPopup(const Client& client, PromptTracker& tracker, const PromptScreen& screen, DWORD timeoutMs)
{
    const FineTimer fineTimer;
    const Deadline deadline(timeoutMs);
    do {
        const HWND candidate = enabledPopup(client.mainWindow);
        if (isUnrecorded(tracker, candidate) && meet(client, tracker, candidate, screen) == Met::Taken) {
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

std::string readCaption(const Client& client, PromptTracker& tracker)
{
    if (!tracker.title) {
        tracker.title = windowText(client.channel, tracker.popup);
    }
    return *tracker.title;
}

std::string readText(const Client& client, PromptTracker& tracker)
{
    if (!tracker.message) {
        tracker.message = windowText(client.channel, findDescendantById(tracker.popup, tracker.textId));
    }
    return *tracker.message;
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
