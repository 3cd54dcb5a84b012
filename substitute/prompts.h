// The client's prompt pop-ups: modal dialogs owned by the main frame, with
// the message in control 7013 and the confirming button 7015. Orders,
// cancels and queries all answer through them.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "texts.h"

namespace substitute {

struct PromptLayout {
    std::string title = texts::promptTitle;
    std::string text;
    bool withButton = true;  // false: a notice without the confirming button
    DWORD selfCloseMs = 0;   // a notice that goes by itself after this long
    bool withMessage = true; // false: a prompt without its message control 7013
};

enum class PromptEnd {
    Confirmed = 1,  // closed by its button 7015
    Dismissed,      // closed otherwise (WM_CLOSE, IDCANCEL, the owner going away)
    WentByItself,   // a notice whose time ran out
};

// What a flow records of its prompt: `shown` once it is up, `ended` while
// it closes, before the click that closed it returns to whoever sent it, and
// `read` each time another thread asks for its title or its message.
struct PromptRecorder {
    std::function<void()> shown;
    std::function<void(PromptEnd)> ended;
    std::function<void()> read;
};

// Shows the prompt modally over `owner` and returns how it ended.
PromptEnd runPrompt(HWND owner, const PromptLayout& layout, const PromptRecorder& recorder = {});

}  // namespace substitute
