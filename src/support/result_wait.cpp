#include "support/result_wait.h"

#include "orders/order_constants.h"
#include "platform/clock.h"
#include "session/operation.h"
#include "platform/windows_ui.h"
#include "queries/list_view_reader.h"
#include "session/session.h"
#include "support/accessibility.h"
#include "support/result_texts.h"

namespace zelvo {

namespace {

namespace texts = result_texts;

enum class Poll { Pending, Answered, Failed };

// The controls one poll reads.
struct ResultView {
    HWND mainWindow;
    HWND status;
    ListViewReader list;
};

// Kinds 6 to 8 read the credit pages, which have their own status text and
// query button.
bool isCreditKind(int kind)
{
    return kind == 6 || kind == 7 || kind == 8;
}

// A row whose first cell has text and whose second is empty is how the
// client shows a message in place of data. A space in the second cell keeps
// a row left from an earlier query from being read as this query's answer
// until the client rewrites the list.
void neutraliseOldMessageRow(const ListViewReader& list)
{
    if (list.window() != nullptr && list.cellText(0, 1).empty()) {
        list.setCellText(0, 1, " ");
    }
}

void clickPageButton(HWND page, int id)
{
    postButtonClick(findDescendantById(page, id));
}

// The shortable-securities page is refreshed differently per edition: by a
// toolbar button on some, by a button of its own on one, by the credit
// query button on the rest.
void startShortableQuery(HWND page, const BrokerProfile& profile)
{
    const std::string& broker = profile.brokerName;
    if (broker == texts::zhaoshangBroker || broker == texts::guoxinBroker) {
        pressToolbarButton(profile.shortSellCaption);
    } else if (broker == texts::qiluBroker) {
        pressToolbarButton(texts::refreshButton);
    } else if (broker == texts::guotaiBroker) {
        clickPageButton(page, texts::shortableQueryButtonId);
    } else {
        clickPageButton(page, profile.creditQueryButtonId);
    }
}

void startQuery(HWND page, int kind, const BrokerProfile& profile)
{
    if (kind == 8) {
        startShortableQuery(page, profile);
    } else {
        clickPageButton(page, isCreditKind(kind) ? profile.creditQueryButtonId : profile.queryButtonId);
    }
}

// A prompt of the client is confirmed whatever it says. Only the busy prompt
// lets the wait go on: the earlier request's answer is still to come.
Poll checkPrompt(HWND mainWindow, std::string& message)
{
    const HWND popup = enabledPopup(mainWindow);
    const HWND button = findDescendantById(popup, order_ids::promptButton);
    if (button == nullptr) {
        return Poll::Pending;
    }
    message = windowText(findDescendantById(popup, order_ids::promptText));
    sendButtonClick(button);
    return message == order_texts::clientBusy ? Poll::Pending : Poll::Failed;
}

Poll checkStatus(const ResultView& view, std::string& message)
{
    std::string status = windowText(view.status);
    if (status.empty()) {
        return Poll::Pending;
    }
    message = std::move(status);
    return Poll::Answered;
}

// The first cell of row 0 when the row is a message row, else empty. The
// second cell is read first: a data row, which every poll meets while the
// earlier answer is still shown, then costs one message instead of two.
std::string messageRowText(const ListViewReader& list)
{
    if (list.window() == nullptr || !list.cellText(0, 1).empty()) {
        return {};
    }
    return list.cellText(0, 0);
}

// The no-records row is no answer by itself: the client writes the status
// text after it. Any other message row is the answer, but only when a
// second look agrees: each read is a message of its own, and an answer that
// lands between the reads of cells (0, 0) and (0, 1) shows a row that is
// half the old list and half the new one. The status text and cell (0, 0)
// are therefore read again; a changed page is left to the next poll.
Poll checkMessageRow(const ResultView& view, std::string& message)
{
    std::string text = messageRowText(view.list);
    if (text.empty() || text == texts::noRecords) {
        return Poll::Pending;
    }
    if (checkStatus(view, message) == Poll::Answered) {
        return Poll::Answered;
    }
    if (view.list.cellText(0, 0) != text) {
        return Poll::Pending;
    }
    message = std::move(text);
    return Poll::Failed;
}

Poll pollOnce(const ResultView& view, std::string& message)
{
    const Poll status = checkStatus(view, message);
    if (status != Poll::Pending) {
        return status;
    }
    const Poll prompt = checkPrompt(view.mainWindow, message);
    if (prompt != Poll::Pending) {
        return prompt;
    }
    return checkMessageRow(view, message);
}

}  // namespace

bool waitForQueryResult(HWND page, int kind, std::string& message)
{
    const SessionState& s = session();
    const BrokerProfile& profile = s.profile;
    const int statusId = isCreditKind(kind) ? profile.creditStatusTextId : profile.statusTextId;
    const ResultView view{s.mainWindow, findDescendantById(page, statusId),
                          ListViewReader(findChildByClass(page, texts::listViewClass))};
    if (view.status != nullptr) {
        SetWindowTextA(view.status, "");
    }
    neutraliseOldMessageRow(view.list);
    startQuery(page, kind, profile);

    const Deadline deadline(texts::waitLimitMs);
    for (int poll = 0; poll < texts::pollLimit && !deadline.expired(); ++poll) {
        if (!IsWindow(view.mainWindow)) {
            message = operation_texts::clientGone;
            return false;
        }
        const Poll result = pollOnce(view, message);
        if (result != Poll::Pending) {
            return result == Poll::Answered;
        }
        Sleep(texts::pollPauseMs);
    }
    message = texts::timedOut;
    return false;
}

}  // namespace zelvo
