// The common start of every order, cancel and query: hide the client, refuse
// when not attached, clear stray pop-ups, find the page of a function.
#pragma once
#include <windows.h>

#include <optional>
#include <string>

#include "session/session.h"

namespace zelvo {

// True while the client's main window still exists. Every wait on the client
// ends early when it does not: nothing can answer any more.
[[nodiscard]] bool clientAlive(const SessionState& s);

// Hides the client's main window (the library drives it unseen), then checks
// that the session is attached and that no stray pop-up stays open. False
// with the reason in `message` otherwise. The caller holds the session lock.
[[nodiscard]] bool startOperation(SessionState& s, std::string& message);

// The page opened at attach for the profile's caption of `page`; null (with
// "不支持" in `message`) when there is none, or when there is no page at all
// (a kind the library does not know). A caption never opened keeps a null
// entry in the cache.
[[nodiscard]] HWND pageWindow(SessionState& s, std::optional<Page> page, std::string& message);

}  // namespace zelvo
