#include "orders/cancel_order.h"

#include "client/client_ui.h"
#include "client/prompts.h"
#include "client/query_wait.h"
#include "platform/list_view_reader.h"
#include "platform/windows_ui.h"
#include "session/operation.h"
#include "text/gbk_text.h"
#include "zelvo_answers.h"

namespace zelvo {

namespace {

// Where the order sits in the list: its row and the order-number column.
struct OrderCell {
    int row = -1;
    int column = -1;
};

// The first row whose order-number cell is the number's decimal text,
// byte for byte (no trimming, no leading zeros).
[[nodiscard]] OrderCell findOrderCell(const ListViewReader& list, const std::vector<std::string>& captions,
                                     int orderNo)
{
    OrderCell cell;
    cell.column = columnIndex(captions, client_ui::orderNoColumn);
    if (cell.column >= 0) {
        cell.row = list.findRow(cell.column, std::to_string(orderNo));
    }
    return cell;
}

// Posts the list's double click on the order's cell to the list's parent,
// as the list itself reports one. The record lives in the session, not on
// this frame: the client reads it whenever it gets to the message, which
// may be after a bounded wait here has given up and returned.
void postDoubleClick(SessionState& s, HWND list, const OrderCell& cell)
{
    const int listId = GetDlgCtrlID(list);
    s.cancelActivation = NMITEMACTIVATE{};
    s.cancelActivation.hdr.hwndFrom = list;
    s.cancelActivation.hdr.idFrom = static_cast<UINT_PTR>(listId);
    s.cancelActivation.hdr.code = static_cast<UINT>(NM_DBLCLK);
    s.cancelActivation.iItem = cell.row;
    s.cancelActivation.iSubItem = cell.column;
    PostMessageA(GetParent(list), WM_NOTIFY, static_cast<WPARAM>(listId),
                 reinterpret_cast<LPARAM>(&s.cancelActivation));
}

// Waits for the client's next prompt, takes its message and closes it with
// its button, whatever it says. On timeout `message` is `timeoutText`.
[[nodiscard]] bool closeNextPrompt(PromptTracker& tracker, HWND mainWindow, const char* timeoutText,
                                   std::string& message)
{
    if (!waitForPrompt(tracker, mainWindow)) {
        message = IsWindow(mainWindow) ? timeoutText : answers::clientGone;
        return false;
    }
    message = readText(tracker);
    clickButton(tracker);
    return true;
}

// The client answers the double click with its cancel confirmation, then
// with its answer; a busy answer is followed by one more prompt. True once
// the confirmation was accepted, whatever the client answers after it.
[[nodiscard]] bool answerCancelPrompts(HWND mainWindow, std::string& message)
{
    PromptTracker tracker;
    if (!closeNextPrompt(tracker, mainWindow, answers::cancelConfirmationTimeout, message)) {
        return false;
    }
    if (!containsText(message, client_ui::cancelConfirmationMarker)) {
        return false;
    }
    // A busy answer means the client's answer to the cancel is still to come.
    if (closeNextPrompt(tracker, mainWindow, answers::cancelAnswerTimeout, message) && message == client_ui::clientBusy) {
        static_cast<void>(closeNextPrompt(tracker, mainWindow, answers::cancelAnswerTimeout, message));
    }
    return true;
}

// Finds the order in the refreshed list and double-clicks its row. False,
// with the reason in `message`, when there is nothing to click.
[[nodiscard]] bool activateOrderRow(SessionState& s, HWND page, int orderNo, std::string& message)
{
    const HWND list = findChildByClass(page, client_ui::listViewClass);
    if (list == nullptr) {
        message = answers::cancelError;
        return false;
    }
    const ListViewReader reader(list);
    const std::vector<std::string> captions = reader.columnCaptions();
    const OrderCell cell = findOrderCell(reader, captions, orderNo);
    if (cell.row < 0) {
        message = answers::orderMissing;
        return false;
    }
    if (columnIndex(captions, client_ui::codeColumn) < 0) {
        message = answers::cancelError;
        return false;
    }
    reader.selectRow(cell.row);
    postDoubleClick(s, list, cell);
    return true;
}

}  // namespace

bool cancelOrder(int orderNo, std::string& message)
{
    SessionState& s = session();
    LockGuard guard(s.lock);
    if (!startOperation(s, message)) {
        return false;
    }
    const HWND page = pageWindow(s, Page::TodayOrders, message);
    if (page == nullptr) {
        return false;
    }
    // The list is refreshed as a query of today's orders refreshes it.
    if (!waitForQueryResult(s.client(), page, QueryKind::TodayOrders, message)) {
        return false;
    }
    if (!activateOrderRow(s, page, orderNo, message)) {
        return false;
    }
    return answerCancelPrompts(s.mainWindow, message);
}

}  // namespace zelvo
