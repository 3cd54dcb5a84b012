#include "orders/cancel_order.h"

#include "orders/cancel_texts.h"
#include "orders/control_operations.h"
#include "platform/windows_ui.h"
#include "queries/list_view_reader.h"
#include "session/operation.h"
#include "support/result_wait.h"
#include "support/text_utils.h"

namespace zelvo {

namespace {

namespace texts = cancel_texts;

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
    cell.column = columnIndex(captions, texts::orderNoColumn);
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
    if (!waitForNewPopup(tracker, mainWindow)) {
        message = IsWindow(mainWindow) ? timeoutText : operation_texts::clientGone;
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
    if (!closeNextPrompt(tracker, mainWindow, texts::confirmationTimeout, message)) {
        return false;
    }
    if (!containsText(message, texts::confirmationMarker)) {
        return false;
    }
    // A busy answer means the client's answer to the cancel is still to come.
    if (closeNextPrompt(tracker, mainWindow, texts::answerTimeout, message) && message == order_texts::clientBusy) {
        static_cast<void>(closeNextPrompt(tracker, mainWindow, texts::answerTimeout, message));
    }
    return true;
}

// Finds the order in the refreshed list and double-clicks its row. False,
// with the reason in `message`, when there is nothing to click.
[[nodiscard]] bool activateOrderRow(SessionState& s, HWND page, int orderNo, std::string& message)
{
    const HWND list = findChildByClass(page, texts::listViewClass);
    if (list == nullptr) {
        message = texts::cancelError;
        return false;
    }
    const ListViewReader reader(list);
    const std::vector<std::string> captions = reader.columnCaptions();
    const OrderCell cell = findOrderCell(reader, captions, orderNo);
    if (cell.row < 0) {
        message = texts::orderMissing;
        return false;
    }
    if (columnIndex(captions, texts::codeColumn) < 0) {
        message = texts::cancelError;
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
    const HWND page = pageForCaption(s, s.profile.todayOrdersCaption, message);
    if (page == nullptr) {
        return false;
    }
    if (!waitForQueryResult(page, texts::refreshKind, message)) {
        return false;
    }
    if (!activateOrderRow(s, page, orderNo, message)) {
        return false;
    }
    return answerCancelPrompts(s.mainWindow, message);
}

}  // namespace zelvo
