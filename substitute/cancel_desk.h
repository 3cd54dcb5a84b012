// The substitute client's cancel flow on its today's-orders page ("当日委托"
// or "当日委托查询", by edition).
//
// A double click on a row of the page's list reaches the page as the list's
// NM_DBLCLK notification (WM_NOTIFY with an NMITEMACTIVATE). The page runs
// the client's flow inside that handler, each prompt modal, owned by the
// main frame, with its message in control 7013 and its button 7015: the
// cancel confirmation (its message holds "操作类别: 撤单" and names the
// row's order), then, once it is confirmed, as many busy answers as
// scripted and the result prompt. The list's rows come from the QueryDesk
// (QueryDesk::setColumns / setRows on the page's caption).
//
// Use: set a script, let the library cancel, then read the requests. The
// desk keeps its own lock; tests use it from any thread.
#pragma once
#include <windows.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "page.h"

namespace substitute {

class Client;

// How the client answers the double clicks that follow. The default: the
// confirmation, then the result prompt.
struct CancelScript {
    DWORD delayMs = 0;    // the client's pause before each prompt it opens
    bool answers = true;  // false: the double click opens no prompt at all
    // false: the first prompt is `refusalText`, not the confirmation, and
    // nothing follows it.
    bool confirms = true;
    std::string refusalText = "该委托已成交,不能撤单!";
    // Busy prompts ("上次请求未返回，请不要频繁点击!") shown one after the
    // other once the confirmation is accepted, before the result.
    int busyAnswers = 0;
    bool reports = true;  // false: nothing follows the confirmation (and busy prompts)
    std::string resultText = "撤单请求已提交,请查询撤单结果";
};

// The double-click notification's fields, read as the page received them.
struct DoubleClickNotice {
    HWND hwndFrom = nullptr;
    UINT_PTR idFrom = 0;
    int code = 0;
    int iItem = -1;
    int iSubItem = -1;
};

// One double click that reached the today's-orders page.
struct CancelRequest {
    std::string page;  // caption of the page
    DoubleClickNotice notice;
    // The list's selected rows when the notification arrived, in row order.
    std::vector<int> selectedRows;
    // What the flow did, in order: "open <message>" for a prompt shown,
    // "click 7015" for a prompt answered with its button, "close <message>"
    // for one closed otherwise (WM_CLOSE, teardown).
    std::vector<std::string> steps;
};

// The script and the record of the client's cancel flow. Thread-safe.
class CancelDesk {
public:
    // The script for every double click from now on.
    void setScript(CancelScript script);
    [[nodiscard]] CancelScript script() const;

    // Every double click so far, oldest first. One that arrived while a flow
    // was still under way is recorded but not answered.
    [[nodiscard]] std::vector<CancelRequest> requests() const;

private:
    friend class CancelFlow;

    mutable std::mutex mutex_;
    CancelScript script_;
    std::vector<CancelRequest> requests_;
    bool running_ = false;
};

// The confirmation's message for the order with this code and number.
std::string cancelConfirmationText(const std::string& code, const std::string& orderNo);

// The cancel behaviour of the page `caption` opens, or null when it is not
// the today's-orders page.
std::unique_ptr<PageBehaviour> makeCancelBehaviour(Client& client, const std::string& caption);

}  // namespace substitute
