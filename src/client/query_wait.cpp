#include "client/query_wait.h"

#include "client/bounds.h"
#include "client/client_ui.h"
#include "client/main_frame.h"
#include "client/prompts.h"
#include "client/toolbar.h"
#include "platform/clock.h"
#include "platform/fine_timer.h"
#include "platform/list_view_reader.h"
#include "platform/windows_ui.h"
#include "zelvo_answers.h"

namespace zelvo {

namespace {

enum class Poll { Pending, Answered, Failed };

// The controls one poll reads.
struct ResultView {
    const Client& client;
    HWND status;
    ListViewReader list;
    // A message row left from an earlier query that could not be neutralised.
    std::string oldMessageRow;
};

// The margin and short pages have their own status text and query button.
bool readsCreditPage(QueryKind kind)
{
    return kind == QueryKind::MarginDebt || kind == QueryKind::ShortDebt || kind == QueryKind::Shortable;
}

// A row whose first cell has text and whose second is empty is how the
// client shows a message in place of data. A space in the second cell keeps
// a row left from an earlier query from being read as this query's answer
// until the client rewrites the list. An owner-data list holds no texts of
// its own, so the space does not take there: the old message row's text is
// then given back, for the wait to pass over it.
std::string neutraliseOldMessageRow(const ListViewReader& list)
{
    if (list.window() == nullptr) {
        return {};
    }
    const std::vector<std::string> cells = list.cellTexts({{0, 1}, {0, 0}});
    if (cells.size() != 2 || !cells[0].empty()) {
        return {};
    }
    list.setCellText(0, 1, " ");
    if (cells[1].empty() || !list.cellText(0, 1).empty()) {
        return {};
    }
    return cells[1];
}

void clickPageButton(const Client& client, HWND page, int id)
{
    postButtonClick(client.channel, findDescendantById(page, id));
}

// The shortable-securities page is refreshed as its edition does it.
void startShortableQuery(const Client& client, HWND page)
{
    const BrokerProfile& profile = client.profile;
    switch (profile.shortableRefresh) {
    case ShortableRefresh::ToolbarShortSell: pressToolbarButton(client, profile.caption(Page::ShortSell)); break;
    case ShortableRefresh::ToolbarRefresh: pressToolbarButton(client, client_ui::refreshButton); break;
    case ShortableRefresh::OwnQueryButton: clickPageButton(client, page, client_ui::shortableQueryButtonId); break;
    case ShortableRefresh::CreditQueryButton: clickPageButton(client, page, profile.creditQueryButtonId); break;
    }
}

void startQuery(const Client& client, HWND page, QueryKind kind)
{
    if (kind == QueryKind::Shortable) {
        startShortableQuery(client, page);
    } else {
        const BrokerProfile& profile = client.profile;
        clickPageButton(client, page, readsCreditPage(kind) ? profile.creditQueryButtonId : profile.queryButtonId);
    }
}

// A prompt of the client is confirmed whatever it says, but for a
// confirmation: this wait asked for none, so a confirmation met here belongs
// to an order or a cancel that gave up on it, and is declined. Only the busy
// prompt lets the wait go on: the earlier request's answer is still to come.
// Each prompt is met once, also while it is still closing.
Poll checkPrompt(const Client& client, PromptTracker& met, std::string& message)
{
    const HWND popup = enabledPopup(client.mainWindow);
    const HWND button = findDescendantById(popup, client_ui::promptButton);
    if (button == nullptr || hasRecorded(met, popup)) {
        return Poll::Pending;
    }
    recordPopup(met, popup);
    if (declineConfirmations(client, met) == PromptVerdict::Decline) {
        declinePopup(client, popup);
        return Poll::Pending;
    }
    message = readText(client, met);
    static_cast<void>(sendButtonClick(client.channel, button));
    return message == client_ui::clientBusy ? Poll::Pending : Poll::Failed;
}

Poll checkStatus(const ResultView& view, std::string& message)
{
    std::string status = windowText(view.client.channel, view.status);
    if (status.empty()) {
        return Poll::Pending;
    }
    message = std::move(status);
    return Poll::Answered;
}

// The first cell of row 0 when the row is a message row, else empty. Both
// cells come in one exchange: on the list's own thread where that can be
// set up.
std::string messageRowText(const ListViewReader& list)
{
    if (list.window() == nullptr) {
        return {};
    }
    const std::vector<std::string> cells = list.cellTexts({{0, 1}, {0, 0}});
    return cells.size() == 2 && cells[0].empty() ? cells[1] : std::string();
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
    if (text.empty() || text == client_ui::noRecordsRow || text == view.oldMessageRow) {
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

Poll pollOnce(const ResultView& view, PromptTracker& prompts, std::string& message)
{
    const Poll status = checkStatus(view, message);
    if (status != Poll::Pending) {
        return status;
    }
    const Poll prompt = checkPrompt(view.client, prompts, message);
    if (prompt != Poll::Pending) {
        return prompt;
    }
    return checkMessageRow(view, message);
}

}  // namespace

bool waitForQueryResult(const Client& client, HWND page, QueryKind kind, std::string& message)
{
    const BrokerProfile& profile = client.profile;
    const int statusId = readsCreditPage(kind) ? profile.creditStatusTextId : profile.statusTextId;
    ResultView view{client, findDescendantById(page, statusId),
                    ListViewReader(client.channel, findChildByClass(page, client_ui::listViewClass)), {}};
    if (view.status != nullptr) {
        static_cast<void>(clearWindowText(client.channel, view.status));
    }
    view.oldMessageRow = neutraliseOldMessageRow(view.list);
    startQuery(client, page, kind);

    PromptTracker prompts;
    const FineTimer fineTimer;
    const Deadline deadline(bounds::answerWaitMs);
    for (int poll = 0; poll < bounds::queryPollLimit && !deadline.expired(); ++poll) {
        if (!client.alive()) {
            message = answers::clientGone;
            return false;
        }
        const Poll result = pollOnce(view, prompts, message);
        if (client.channel.lost()) {
            return false;
        }
        if (result != Poll::Pending) {
            return result == Poll::Answered;
        }
        Sleep(bounds::pollPauseMs);
    }
    message = answers::queryTimeout;
    return false;
}

}  // namespace zelvo
