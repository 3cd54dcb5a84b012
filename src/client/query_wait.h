// Running one query of a client page and waiting for the client's answer.
// The client answers asynchronously: a new status text on the page, a
// message row in the page's list, or a prompt pop-up.
#pragma once
#include <windows.h>

#include <string>

#include "client/client.h"
#include "zelvo_kinds.h"

namespace zelvo {

// Clears the page's status text, neutralises a message row left from an
// earlier query, starts the query of `kind` (a posted click on the page's
// query button, or a toolbar press for the shortable page of some editions)
// and polls for the answer.
// True: the client answered with data; `message` is the page's status text.
// False: `message` is the client's prompt (already confirmed), its message
// row, "查询超时" after 30000 polls or 30 s, whichever comes first, or
// "交易客户端已关闭" once the main window is gone. False with the channel
// lost when the client's thread stopped answering; the caller says so.
[[nodiscard]] bool waitForQueryResult(const Client& client, HWND page, QueryKind kind, std::string& message);

}  // namespace zelvo
