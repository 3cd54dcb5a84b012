#include "queries/query_data.h"

#include "platform/windows_ui.h"
#include "queries/list_view_reader.h"
#include "queries/table_text.h"
#include "session/operation.h"
#include "support/result_texts.h"
#include "support/result_wait.h"

namespace zelvo {

namespace {

// Messages of the funds kinds: one funds line, or the three-currency summary.
constexpr char oneRecord[] = "共1条";
constexpr char threeRecords[] = "共3条";

constexpr int currencySummaryKind = 10;

std::string controlText(HWND page, int id)
{
    return windowText(findDescendantById(page, id));
}

// Kinds 0-2 read one funds line; -1 for any other kind.
int fundsTextId(const BrokerProfile& profile, int kind)
{
    switch (kind) {
    case 0: return profile.rmbFundsTextId;
    case 1: return profile.usdFundsTextId;
    case 2: return profile.hkdFundsTextId;
    default: return -1;
    }
}

std::string pageList(HWND page)
{
    const HWND list = findChildByClass(page, result_texts::listViewClass);
    return list == nullptr ? std::string() : ListViewReader(list).tableText();
}

// What the page shows once the client has answered. The list kinds keep the
// status text as their message.
std::string pageContent(const BrokerProfile& profile, HWND page, int kind, std::string& message)
{
    if (const int id = fundsTextId(profile, kind); id >= 0) {
        message = oneRecord;
        return controlText(page, id);
    }
    if (kind == currencySummaryKind) {
        message = threeRecords;
        return currencySummary(controlText(page, profile.rmbFundsTextId), controlText(page, profile.usdFundsTextId),
                               controlText(page, profile.hkdFundsTextId));
    }
    return pageList(page);
}

}  // namespace

std::string queryCaption(int kind)
{
    const BrokerProfile& profile = session().profile;
    switch (kind) {
    case 0:
    case 1:
    case 2:
    case 3:
    case 10: return profile.fundsCaption;
    case 4: return profile.todayOrdersCaption;
    case 5: return profile.todayTradesCaption;
    case 6: return profile.marginDebtCaption;
    case 7: return profile.shortDebtCaption;
    case 8: return profile.shortableCaption;
    case 9: return profile.cancelPageCaption;
    case 11: return profile.shareholdersCaption;
    default: return {};
    }
}

std::string queryData(int kind, std::string& message)
{
    SessionState& s = session();
    LockGuard guard(s.lock);
    if (!startOperation(s, message)) {
        return {};
    }
    const HWND page = pageForCaption(s, queryCaption(kind), message);
    if (page == nullptr || !waitForQueryResult(page, kind, message)) {
        return {};
    }
    return pageContent(s.profile, page, kind, message);
}

}  // namespace zelvo
