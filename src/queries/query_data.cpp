#include "queries/query_data.h"

#include <optional>

#include "client/client_ui.h"
#include "client/query_wait.h"
#include "platform/list_view_reader.h"
#include "platform/windows_ui.h"
#include "session/operation.h"
#include "text/table_text.h"
#include "zelvo_answers.h"
#include "zelvo_kinds.h"

namespace zelvo {

namespace {

// The page a query kind reads.
[[nodiscard]] constexpr Page pageOf(QueryKind kind) noexcept
{
    switch (kind) {
    case QueryKind::RmbFunds:
    case QueryKind::UsdFunds:
    case QueryKind::HkdFunds:
    case QueryKind::Positions:
    case QueryKind::Currencies: return Page::Funds;
    case QueryKind::TodayOrders: return Page::TodayOrders;
    case QueryKind::TodayTrades: return Page::TodayTrades;
    case QueryKind::MarginDebt: return Page::MarginDebt;
    case QueryKind::ShortDebt: return Page::ShortDebt;
    case QueryKind::Shortable: return Page::Shortable;
    case QueryKind::CancelList: return Page::CancelPage;
    case QueryKind::Shareholders: return Page::Shareholders;
    }
    return Page::Funds;
}

std::string controlText(HWND page, int id)
{
    return windowText(findDescendantById(page, id));
}

// The control of a funds line; none for the kinds that read no funds line.
std::optional<int> fundsTextId(const BrokerProfile& profile, QueryKind kind)
{
    switch (kind) {
    case QueryKind::RmbFunds: return profile.rmbFundsTextId;
    case QueryKind::UsdFunds: return profile.usdFundsTextId;
    case QueryKind::HkdFunds: return profile.hkdFundsTextId;
    default: return std::nullopt;
    }
}

std::string pageList(HWND page)
{
    const HWND list = findChildByClass(page, client_ui::listViewClass);
    return list == nullptr ? std::string() : ListViewReader(list).tableText();
}

// What the page shows once the client has answered. The list kinds keep the
// status text as their message.
std::string pageContent(const BrokerProfile& profile, HWND page, QueryKind kind, std::string& message)
{
    if (const std::optional<int> id = fundsTextId(profile, kind)) {
        message = answers::oneRecord;
        return controlText(page, *id);
    }
    if (kind == QueryKind::Currencies) {
        message = answers::threeRecords;
        return currencySummary(controlText(page, profile.rmbFundsTextId), controlText(page, profile.usdFundsTextId),
                               controlText(page, profile.hkdFundsTextId));
    }
    return pageList(page);
}

}  // namespace

std::string queryData(int kind, std::string& message)
{
    SessionState& s = session();
    LockGuard guard(s.lock);
    if (!startOperation(s, message)) {
        return {};
    }
    const std::optional<QueryKind> known = queryKindOf(kind);
    const HWND page = pageWindow(s, known ? std::optional<Page>(pageOf(*known)) : std::nullopt, message);
    if (page == nullptr || !waitForQueryResult(s.client(), page, *known, message)) {
        return {};
    }
    return pageContent(s.profile, page, *known, message);
}

}  // namespace zelvo
