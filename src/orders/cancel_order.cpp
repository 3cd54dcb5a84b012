#include "orders/cancel_order.h"

#include "client/client_ui.h"
#include "client/confirmations.h"
#include "client/prompts.h"
#include "client/query_wait.h"
#include "platform/list_view_reader.h"
#include "platform/module_pin.h"
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
// may be after a bounded wait here has given up and returned, or after the
// host has unloaded the library, which therefore stays loaded.
[[nodiscard]] bool postDoubleClick(SessionState& s, const Client& client, HWND list, const OrderCell& cell)
{
    pinModule();
    NMITEMACTIVATE& activation = s.cancelActivations[s.nextCancelActivation];
    s.nextCancelActivation = (s.nextCancelActivation + 1) % s.cancelActivations.size();
    const int listId = GetDlgCtrlID(list);
    activation = NMITEMACTIVATE{};
    activation.hdr.hwndFrom = list;
    activation.hdr.idFrom = static_cast<UINT_PTR>(listId);
    activation.hdr.code = static_cast<UINT>(NM_DBLCLK);
    activation.iItem = cell.row;
    activation.iSubItem = cell.column;
    return client.channel.post(GetParent(list), WM_NOTIFY, static_cast<WPARAM>(listId),
                               reinterpret_cast<LPARAM>(&activation));
}

// The cancel's first prompt: its own cancel confirmation, or the client's
// refusal. A trade confirmation, and a cancel confirmation that names
// another order, belong to calls that gave up on them: declined.
[[nodiscard]] PromptScreen ownFirstPrompt(int orderNo)
{
    return [orderNo](const Client& client, PromptTracker& tracker) {
        switch (confirmationIn(client, tracker)) {
        case Confirmation::None: return PromptVerdict::Take;
        case Confirmation::Trade: return PromptVerdict::Decline;
        case Confirmation::Cancel: break;
        }
        return namesOtherOrder(readText(client, tracker), orderNo) ? PromptVerdict::Decline : PromptVerdict::Take;
    };
}

// Waits for the client's next prompt that `screen` takes and reads its
// message. False when none came (`message` is then `timeoutText`) or the
// client stopped answering.
[[nodiscard]] bool readNextPrompt(const Client& client, PromptTracker& tracker, const PromptScreen& screen,
                                  const char* timeoutText, std::string& message)
{
    if (!waitForPrompt(client, tracker, screen)) {
        message = timeoutText;
        return false;
    }
    message = readText(client, tracker);
    return !client.channel.lost();
}

// Reads the client's next answer and closes it. Once its message is read,
// it is the answer, whatever becomes of the click that closes it.
[[nodiscard]] bool takeAnswer(const Client& client, PromptTracker& tracker, std::string& message)
{
    if (!readNextPrompt(client, tracker, declineConfirmations, answers::cancelAnswerTimeout, message)) {
        return false;
    }
    static_cast<void>(clickButton(client, tracker));
    return true;
}

// After the confirmation the client answers; a busy answer means its answer
// to the cancel is still to come, in one more prompt.
void followAnswer(const Client& client, PromptTracker& tracker, std::string& message)
{
    bool taken = takeAnswer(client, tracker, message);
    if (taken && message == client_ui::clientBusy) {
        taken = takeAnswer(client, tracker, message);
    }
    if (!taken) {
        explainClientStop(client, Commitment::Cancel, message);
    }
}

// The client answers the double click with its cancel confirmation, then
// with its answer. True once the confirmation was accepted, whatever the
// client answers after it.
[[nodiscard]] bool answerCancelPrompts(const Client& client, int orderNo, std::string& message)
{
    PromptTracker tracker;
    if (!readNextPrompt(client, tracker, ownFirstPrompt(orderNo), answers::cancelConfirmationTimeout, message)) {
        explainClientStop(client, Commitment::None, message);
        return false;
    }
    // The prompt is closed with its button whatever it says. On the
    // confirmation that is the acceptance: once the click is on its way the
    // cancel may go through, even when the click itself goes unanswered.
    const bool confirmation = containsText(message, client_ui::cancelConfirmationMarker);
    static_cast<void>(clickButton(client, tracker));
    if (!confirmation) {
        return false;
    }
    followAnswer(client, tracker, message);
    return true;
}

// Finds the order in the refreshed list and double-clicks its row. False,
// with the reason in `message`, when there is nothing to click.
[[nodiscard]] bool activateOrderRow(SessionState& s, const Client& client, HWND page, int orderNo,
                                    std::string& message)
{
    const HWND list = findChildByClass(page, client_ui::listViewClass);
    if (list == nullptr) {
        message = answers::cancelError;
        return false;
    }
    const ListViewReader reader(client.channel, list);
    const std::vector<std::string> captions = reader.columnCaptions();
    const OrderCell cell = findOrderCell(reader, captions, orderNo);
    if (client.channel.lost()) {
        return false;
    }
    if (cell.row < 0) {
        message = answers::orderMissing;
        return false;
    }
    if (columnIndex(captions, client_ui::codeColumn) < 0) {
        message = answers::cancelError;
        return false;
    }
    reader.selectRow(cell.row);
    return postDoubleClick(s, client, list, cell);
}

}  // namespace

bool cancelOrder(int orderNo, std::string& message)
{
    SessionState& s = session();
    if (refuseNestedCall(s, message)) {
        return false;
    }
    LockGuard guard(s.lock);
    MessageChannel channel = s.channel();
    const Client client = s.client(channel);
    if (!startOperation(s, client, message)) {
        return false;
    }
    const HWND page = pageWindow(s, Page::TodayOrders, message);
    if (page == nullptr) {
        return false;
    }
    // The list is refreshed as a query of today's orders refreshes it.
    if (!waitForQueryResult(client, page, QueryKind::TodayOrders, message) ||
        !activateOrderRow(s, client, page, orderNo, message)) {
        explainClientStop(client, Commitment::None, message);
        return false;
    }
    return answerCancelPrompts(client, orderNo, message);
}

}  // namespace zelvo
