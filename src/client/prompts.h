// The few operations orders and cancels are built from: following the
// client's prompt pop-ups one after the other, reading and clicking them,
// and filling a dialog's edit, check box and button in one go. Every wait is
// bounded by elapsed time and reports whether it got what it waited for;
// every wait also ends at once when the main window is gone, and within the
// channel's bound when the client's thread stops answering (the channel is
// then lost).
#pragma once
#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "client/bounds.h"
#include "client/client.h"
#include "client/client_ui.h"
#include "client/confirmations.h"

namespace zelvo {

// The prompt pop-ups one operation has met. A prompt is an enabled pop-up of
// the main window holding the button `buttonId`; its message is in `textId`.
struct PromptTracker {
    HWND popup = nullptr;  // the pop-up handled now; null until one is recorded
    int textId = client_ui::promptText;
    int buttonId = client_ui::promptButton;
    // Every pop-up recorded so far, `popup` included. None of them is taken
    // again, so a prompt that is still closing (or an earlier one showing
    // again behind a newer one) is never mistaken for the client's next answer.
    std::vector<HWND> recorded;
    // The current pop-up's title and message, each read once: a wait reads
    // them to judge the pop-up, its caller to answer with them.
    std::optional<std::string> title;
    std::optional<std::string> message;
};

// What a wait does with a pop-up it meets: takes it as the answer it waits
// for, or declines it (closes it without its button: a confirmation that is
// not the waiting call's own) and waits on.
enum class PromptVerdict { Take, Decline };
using PromptScreen = std::function<PromptVerdict(const Client&, PromptTracker&)>;

// The screen of every wait after the call's own confirmation, and of waits
// that caused no confirmation: any confirmation is declined, anything else
// taken. A confirmation met there belongs to a call that gave up on it.
[[nodiscard]] PromptVerdict declineConfirmations(const Client& client, PromptTracker& tracker);

// What the tracker's current pop-up asks to confirm, from its title and message.
[[nodiscard]] Confirmation confirmationIn(const Client& client, PromptTracker& tracker);

// Makes `popup` the tracker's current pop-up.
void recordPopup(PromptTracker& tracker, HWND popup);
// Whether the tracker has met `popup` already.
[[nodiscard]] bool hasRecorded(const PromptTracker& tracker, HWND popup);

// Waits for a prompt (a pop-up holding the prompt button) that the tracker
// has not recorded to become the main window's enabled pop-up, records it
// and puts it to `screen`: the first one taken ends the wait, one declined
// is closed and stays recorded. The caller's own queue keeps moving: one of
// its messages is dispatched per 1 ms pass. False when none was taken.
[[nodiscard]] bool waitForPrompt(const Client& client, PromptTracker& tracker, const PromptScreen& screen,
                                 DWORD timeoutMs = bounds::answerWaitMs);

// The same for any enabled pop-up of the main window, prompt or not (a
// password dialog). Dispatches none of the caller's messages.
[[nodiscard]] bool waitForAnyPopup(const Client& client, PromptTracker& tracker, const PromptScreen& screen,
                                   DWORD timeoutMs = bounds::answerWaitMs);

// Waits until `window` no longer exists. False when it still did.
[[nodiscard]] bool waitUntilClosed(const Client& client, HWND window, DWORD timeoutMs = bounds::answerWaitMs);

// The current pop-up's own title (read once).
[[nodiscard]] std::string readCaption(const Client& client, PromptTracker& tracker);
// The current pop-up's message: the text of its control `textId` (empty when
// it has none, or when the client did not answer; read once).
[[nodiscard]] std::string readText(const Client& client, PromptTracker& tracker);

// Clicks the current pop-up's button `buttonId`: sent (true once the client
// has handled the click) or posted (true once queued).
bool clickButton(const Client& client, const PromptTracker& tracker);
bool postClickButton(const Client& client, const PromptTracker& tracker);

// One dialog and the three controls that answer it.
struct DialogFill {
    int editId;
    int checkId;
    int buttonId;
    HWND dialog;
};

// Writes `text` into the edit, sets the check box checked (set, never
// toggled) and clicks the button, sent. False, with nothing touched, when
// one of the three controls is missing; the steps after a message that went
// unanswered are not taken.
[[nodiscard]] bool fillCheckAndConfirm(const Client& client, const DialogFill& fill, const std::string& text);

}  // namespace zelvo
