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

std::string controlText(const Client& client, HWND page, int id)
{
    return windowText(client.channel, findDescendantById(page, id));
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

std::string pageList(const Client& client, HWND page)
{
    const HWND list = findChildByClass(page, client_ui::listViewClass);
    return list == nullptr ? std::string() : ListViewReader(client.channel, list).tableText();
}

// What the page shows once the client has answered. The list kinds keep the
// status text as their message.
std::string pageContent(const Client& client, HWND page, QueryKind kind, std::string& message)
{
    const BrokerProfile& profile = client.profile;
    if (const std::optional<int> id = fundsTextId(profile, kind)) {
        message = answers::oneRecord;
        return controlText(client, page, *id);
    }
    if (kind == QueryKind::Currencies) {
        message = answers::threeRecords;
        return currencySummary(controlText(client, page, profile.rmbFundsTextId),
                               controlText(client, page, profile.usdFundsTextId),
                               controlText(client, page, profile.hkdFundsTextId));
    }
    return pageList(client, page);
}

// The query from its page to the page's content.
std::string runQuery(SessionState& s, const Client& client, int kind, std::string& message)
{
    const std::optional<QueryKind> known = queryKindOf(kind);
    const HWND page = pageWindow(s, known ? std::optional<Page>(pageOf(*known)) : std::nullopt, message);
    if (page == nullptr || !waitForQueryResult(client, page, *known, message)) {
        return {};
    }
    return pageContent(client, page, *known, message);
}

}  // namespace

std::string queryData(int kind, std::string& message)
{
    SessionState& s = session();
    if (refuseNestedCall(s, message)) {
        return {};
    }
    LockGuard guard(s.lock);
    MessageChannel channel = s.channel();
    const Client client = s.client(channel);
    if (!startOperation(s, client, message)) {
        return {};
    }
    std::string content = runQuery(s, client, kind, message);
    if (channel.lost()) {
        // Whatever was read before the client stopped answering is no answer.
        message = answers::clientNotAnswering;
        return {};
    }
    return content;
}

}  // namespace zelvo
