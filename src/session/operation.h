// The common start of every order, cancel and query: hide the client, refuse
// when not attached, clear stray pop-ups, find the page of a caption.
#pragma once
#include <windows.h>

#include <string>

#include "session/session.h"

namespace zelvo {

namespace operation_texts {
constexpr char notLoggedIn[] = "未登录";
constexpr char notSupported[] = "不支持";
constexpr char popupsStayOpen[] = "无法关闭客户端弹窗";
// The client's main window no longer exists (the client closed or crashed).
constexpr char clientGone[] = "交易客户端已关闭";
}  // namespace operation_texts

// True while the client's main window still exists. Every wait on the client
// ends early when it does not: nothing can answer any more.
[[nodiscard]] bool clientAlive(const SessionState& s);

// Hides the client's main window (the library drives it unseen), then checks
// that the session is attached and that no stray pop-up stays open. False
// with the reason in `message` otherwise. The caller holds the session lock.
[[nodiscard]] bool startOperation(SessionState& s, std::string& message);

// The page opened at attach for `caption`; null (with "不支持" in `message`)
// when there is none. An unknown caption keeps a null entry in the cache.
[[nodiscard]] HWND pageForCaption(SessionState& s, const std::string& caption, std::string& message);

}  // namespace zelvo
