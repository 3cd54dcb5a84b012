// The common start of every order, cancel and query: refuse a call made from
// inside another, hide the client, refuse when not attached, clear stray
// pop-ups, find the page of a function.
#pragma once
#include <windows.h>

#include <optional>
#include <string>

#include "session/session.h"

namespace zelvo {

// A call made while the same thread is already inside a call of the library
// (a window procedure or timer of the caller, run while the library waits
// and dispatches the caller's messages) must touch nothing: true, with
// "上一个调用尚未返回" in `message`, for such a call. Calls from other threads
// wait for the lock as usual.
[[nodiscard]] bool refuseNestedCall(const SessionState& s, std::string& message);

// Hides the client's main window (the library drives it unseen), then checks
// that the session is attached, that the client still runs and answers, and
// that no stray pop-up stays open. False with the reason in `message`
// otherwise. The caller holds the session lock.
[[nodiscard]] bool startOperation(const SessionState& s, const Client& client, std::string& message);

// The page opened at attach for the profile's caption of `page`; null (with
// "不支持" in `message`) when there is none, or when there is no page at all
// (a kind the library does not know). A caption never opened keeps a null
// entry in the cache.
[[nodiscard]] HWND pageWindow(SessionState& s, std::optional<Page> page, std::string& message);

// How far an order or a cancel got when the client stopped it: before the
// client's confirmation was accepted nothing happened; after it, the order
// or the cancel may have gone through.
enum class Commitment { None, Order, Cancel };

// When the client stopped the operation (its thread did not answer, or its
// main window is gone), the answer for that at this commitment, in
// `message`; true then. False, with `message` untouched, otherwise.
bool explainClientStop(const Client& client, Commitment commitment, std::string& message);

}  // namespace zelvo
