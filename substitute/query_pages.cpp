#include "query_pages.h"

#include <optional>

#include "client.h"
#include "dialogs.h"
#include "prompts.h"
#include "texts.h"

namespace substitute {

namespace {

// Toolbar buttons that run the query of the shortable page.
constexpr const char* toolbarQueryButtons[] = {"刷新", "融券卖出"};

// The one timer of a query page: the next step of the answer under way.
constexpr UINT_PTR answerTimer = 0x5100;

enum class PageGroup { Funds, Orders, Trades, Shareholders, Contracts, Shortable };

struct CaptionGroup {
    const char* caption;
    PageGroup group;
};

// Every query caption of the seven editions.
constexpr CaptionGroup queryCaptions[] = {
    {"资金股份", PageGroup::Funds},
    {"资金股份查询", PageGroup::Funds},
    {"当日委托", PageGroup::Orders},
    {"当日委托查询", PageGroup::Orders},
    {"撤单", PageGroup::Orders},
    {"当日成交", PageGroup::Trades},
    {"当日成交查询", PageGroup::Trades},
    {"股东列表", PageGroup::Shareholders},
    {"信用股东查询", PageGroup::Shareholders},
    {"融资余额查询", PageGroup::Contracts},
    {"融券余额查询", PageGroup::Contracts},
    {"融资情况查询", PageGroup::Contracts},
    {"融券情况查询", PageGroup::Contracts},
    {"未平仓合约查询", PageGroup::Contracts},
    {"未了结合约查询", PageGroup::Contracts},
    {"信用融资合约查询", PageGroup::Contracts},
    {"信用融券合约查询", PageGroup::Contracts},
    {"融券卖出", PageGroup::Shortable},
    {"标的证券查询", PageGroup::Shortable},
    {"可融证券查询", PageGroup::Shortable},
};

std::optional<PageGroup> groupOf(const std::string& caption)
{
    for (const CaptionGroup& entry : queryCaptions) {
        if (caption == entry.caption) {
            return entry.group;
        }
    }
    return std::nullopt;
}

struct PageControls {
    int statusId;
    int buttonId;
};

// The credit pages (contracts and shortable securities) have their own
// status text and query button.
PageControls controlsOf(PageGroup group, const ClientSetup& setup)
{
    switch (group) {
    case PageGroup::Contracts: return {ids::creditStatusText, ids::creditQueryButton};
    case PageGroup::Shortable: return {ids::creditStatusText, setup.shortableQueryButtonId};
    default: return {ids::statusText, ids::queryButton};
    }
}

QueryContents contentsOf(std::vector<std::string> columns, std::vector<Row> rows)
{
    QueryContents contents;
    contents.columns = std::move(columns);
    contents.rows = std::move(rows);
    return contents;
}

QueryContents fundsContents()
{
    QueryContents contents = contentsOf(
        {"证券代码", "证券名称", "股票余额", "可用余额", "参考成本价", "参考市值"},
        {{"600000", "浦发银行", "1000", "1000", "10.500", "10800.00"}, {"000001", "平安银行", "500", "300", "12.000", "6250.00"}});
    contents.rmbFunds = "人民币 余额:25000.00 可用:18000.00 可取:15000.00 参考市值:17050.00 资产:42050.00 ";
    contents.usdFunds = "美元 余额:0.00 可用:0.00 可取:0.00 参考市值:0.00 资产:0.00 ";
    contents.hkdFunds = "港币 余额:1200.00 可用:1200.00 可取:1200.00 参考市值:0.00 资产:1200.00 ";
    return contents;
}

QueryContents defaultsOf(PageGroup group)
{
    switch (group) {
    case PageGroup::Funds: return fundsContents();
    case PageGroup::Orders:
        return contentsOf({"委托时间", "证券代码", "证券名称", "买卖标志", "委托价格", "委托数量", "成交数量", "委托编号", "状态说明"},
                          {{"09:31:05", "600000", "浦发银行", "买入", "10.500", "1000", "0", "901", "已报"},
                           {"09:45:12", "000001", "平安银行", "卖出", "12.500", "200", "200", "902", "已成"}});
    case PageGroup::Trades:
        return contentsOf({"成交时间", "证券代码", "证券名称", "买卖标志", "成交价格", "成交数量", "成交编号", "委托编号"},
                          {{"09:45:13", "000001", "平安银行", "卖出", "12.500", "200", "50001", "902"}});
    case PageGroup::Shareholders:
        return contentsOf({"股东代码", "股东名称", "帐号类别", "资金帐号"},
                          {{"A123456789", "张三", "上海A股", "12345678"}, {"0123456789", "张三", "深圳A股", "12345678"}});
    case PageGroup::Contracts:
        return contentsOf({"合约编号", "证券代码", "证券名称", "合约类型", "合约金额", "合约数量", "到期日期"},
                          {{"H0001", "600000", "浦发银行", "融资", "10500.00", "1000", "20250630"}});
    case PageGroup::Shortable:
        return contentsOf({"证券代码", "证券名称", "融券保证金比例", "可融数量"},
                          {{"600000", "浦发银行", "0.50", "100000"}, {"600036", "招商银行", "0.50", "50000"}});
    }
    return {};
}

HWND pageList(HWND page)
{
    return FindWindowExA(page, nullptr, WC_LISTVIEWA, nullptr);
}

void replaceColumns(HWND list, const std::vector<std::string>& columns)
{
    const auto header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    for (LRESULT count = SendMessageA(header, HDM_GETITEMCOUNT, 0, 0); count > 0; --count) {
        SendMessageA(list, LVM_DELETECOLUMN, static_cast<WPARAM>(count - 1), 0);
    }
    for (size_t index = 0; index < columns.size(); ++index) {
        LVCOLUMNA column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.cx = 90;
        column.pszText = const_cast<char*>(columns[index].c_str());
        SendMessageA(list, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&column));
    }
}

void appendRow(HWND list, int index, const Row& row)
{
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = index;
    item.pszText = const_cast<char*>(row.empty() ? "" : row[0].c_str());
    const LRESULT at = SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    for (size_t column = 1; column < row.size(); ++column) {
        LVITEMA cell = {};
        cell.iSubItem = static_cast<int>(column);
        cell.pszText = const_cast<char*>(row[column].c_str());
        SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(&cell));
    }
}

// An owner-data list holds no texts: it is told how many rows there are
// and asks its page for each cell it needs.
void setRowCount(HWND list, size_t rows)
{
    SendMessageA(list, LVM_SETITEMCOUNT, rows, LVSICF_NOSCROLL);
    InvalidateRect(list, nullptr, FALSE);
}

void replaceRows(HWND list, const std::vector<Row>& rows)
{
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    SendMessageA(list, LVM_SETITEMCOUNT, rows.size(), 0);
    for (size_t index = 0; index < rows.size(); ++index) {
        appendRow(list, static_cast<int>(index), rows[index]);
    }
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
}

// A prompt of the client: modal, owned by the main frame, as the real client
// shows its answers. Returns once the prompt is closed.
void showPrompt(Client& client, const std::string& text)
{
    const size_t index = client.queries().recordPrompt(text);
    const PromptRecorder recorder = {{},
                                     [&](PromptEnd end) {
                                         client.queries().recordPromptClosed(index, end == PromptEnd::Confirmed);
                                     },
                                     [&] { client.reach(Moment::PromptRead, text); }};
    runPrompt(client.mainWindow(), {texts::promptTitle, text}, recorder);
}

class QueryBehaviour : public PageBehaviour {
public:
    QueryBehaviour(Client& client, std::string caption, PageGroup group)
        : client_(client), caption_(std::move(caption)), group_(group),
          controls_(controlsOf(group, client.setup()))
    {
    }

    void build(HWND page) override
    {
        ownerData_ = listsByOwnerData(client_.setup(), caption_);
        addControl(page, "Static", "", WS_VISIBLE, controls_.statusId, 0, 0, 300, 20);
        addControl(page, "Button", "查询", WS_VISIBLE | BS_PUSHBUTTON, controls_.buttonId, 310, 0, 60, 24);
        if (group_ == PageGroup::Funds) {
            const int fundsIds[] = {ids::rmbFunds, ids::usdFunds, ids::hkdFunds};
            for (int index = 0; index < 3; ++index) {
                addControl(page, "Static", "", WS_VISIBLE, fundsIds[index], 175 * index, 30, 170, 20);
            }
        }
        if (group_ == PageGroup::Shortable) {
            client_.queries().registerShortablePage(page);
        }
        showData(page);
    }

    bool onCommand(HWND page, int id, int code, HWND) override
    {
        if (id != controls_.buttonId || code != BN_CLICKED) {
            return false;
        }
        startQuery(page, QueryClick{caption_, id, {}});
        return true;
    }

    // An owner-data list asks for the texts of the rows it shows, or that
    // another thread reads.
    bool onNotify(HWND, const NMHDR& header) override
    {
        const UINT code = header.code;
        if (!ownerData_ || (code != LVN_GETDISPINFOA && code != LVN_GETDISPINFOW)) {
            return false;
        }
        if (code == LVN_GETDISPINFOW) {
            giveCell(reinterpret_cast<NMLVDISPINFOW&>(const_cast<NMHDR&>(header)).item);
        } else {
            giveCell(reinterpret_cast<NMLVDISPINFOA&>(const_cast<NMHDR&>(header)).item);
        }
        return true;
    }

    bool onTimer(HWND page, UINT_PTR id) override
    {
        if (id != answerTimer) {
            return false;
        }
        KillTimer(page, answerTimer);
        runDueStep(page);
        return true;
    }

    // A new query replaces an answer still under way.
    void startQuery(HWND page, QueryClick click)
    {
        click.caption = caption_;
        client_.queries().recordClick(std::move(click));
        client_.reach(Moment::QueryClicked);
        reply_ = client_.queries().takeReply(caption_);
        KillTimer(page, answerTimer);
        if (reply_.kind != ReplyKind::Silence) {
            scheduleStep(page, Step::Answer);
        }
    }

private:
    enum class Step { Answer, StatusAfterMessageRow, DataAfterBusy };

    // A timer fires 10 ms after it is set at the soonest (USER_TIMER_MINIMUM):
    // a step due at once is posted as the timer's message instead, so an
    // answer scripted without delay comes as soon as the client is free.
    void scheduleStep(HWND page, Step step)
    {
        step_ = step;
        if (reply_.delayMs == 0) {
            PostMessageA(page, WM_TIMER, answerTimer, 0);
        } else {
            SetTimer(page, answerTimer, reply_.delayMs, nullptr);
        }
    }

    void runDueStep(HWND page)
    {
        switch (step_) {
        case Step::Answer: answer(page); break;
        case Step::StatusAfterMessageRow: setStatus(page, client_.queries().contents(caption_).status); break;
        case Step::DataAfterBusy: showData(page); break;
        }
    }

    void answer(HWND page)
    {
        switch (reply_.kind) {
        case ReplyKind::Data: showData(page); break;
        case ReplyKind::NoRecords:
            showMessageRow(page, texts::noRecords);
            scheduleStep(page, Step::StatusAfterMessageRow);
            break;
        case ReplyKind::MessageRow: showMessageRow(page, reply_.text); break;
        case ReplyKind::ErrorPrompt: showPrompt(client_, reply_.text); break;
        case ReplyKind::BusyThenData:
            showPrompt(client_, texts::busy);
            if (IsWindow(page)) {
                scheduleStep(page, Step::DataAfterBusy);
            }
            break;
        case ReplyKind::Silence: break;
        case ReplyKind::StatusOnly: setStatus(page, client_.queries().contents(caption_).status); break;
        }
    }

    // The status text comes last: it tells that the answer is complete.
    void showData(HWND page)
    {
        const QueryContents contents = client_.queries().contents(caption_);
        if (group_ == PageGroup::Funds) {
            SetDlgItemTextA(page, ids::rmbFunds, contents.rmbFunds.c_str());
            SetDlgItemTextA(page, ids::usdFunds, contents.usdFunds.c_str());
            SetDlgItemTextA(page, ids::hkdFunds, contents.hkdFunds.c_str());
        }
        showRows(page, contents.columns, contents.rows);
        setStatus(page, contents.status);
    }

    void showRows(HWND page, const std::vector<std::string>& columns, const std::vector<Row>& rows)
    {
        const HWND list = pageList(page);
        replaceColumns(list, columns);
        if (ownerData_) {
            shownRows_ = rows;
            setRowCount(list, rows.size());
        } else {
            replaceRows(list, rows);
        }
    }

    // The text of one cell of an owner-data list; the first column of a row
    // costs what the client's handler costs for a row.
    const std::string& cellOf(int row, int column) const
    {
        static const std::string none;
        if (row < 0 || static_cast<size_t>(row) >= shownRows_.size() || column < 0 ||
            static_cast<size_t>(column) >= shownRows_[static_cast<size_t>(row)].size()) {
            return none;
        }
        if (column == 0 && client_.setup().ownerDataRowMs > 0) {
            Sleep(client_.setup().ownerDataRowMs);
        }
        return shownRows_[static_cast<size_t>(row)][static_cast<size_t>(column)];
    }

    void giveCell(LVITEMA& item) const
    {
        if ((item.mask & LVIF_TEXT) != 0 && item.pszText != nullptr && item.cchTextMax > 0) {
            const std::string& text = cellOf(item.iItem, item.iSubItem);
            lstrcpynA(item.pszText, text.c_str(), item.cchTextMax);
        }
    }

    void giveCell(LVITEMW& item) const
    {
        if ((item.mask & LVIF_TEXT) != 0 && item.pszText != nullptr && item.cchTextMax > 0) {
            lstrcpynW(item.pszText, wideText(cellOf(item.iItem, item.iSubItem)).c_str(), item.cchTextMax);
        }
    }

    // A message takes the place of the rows; the columns stay those of the page.
    void showMessageRow(HWND page, const std::string& text)
    {
        showRows(page, client_.queries().contents(caption_).columns, {Row{text}});
    }

    void setStatus(HWND page, const std::string& text)
    {
        SetDlgItemTextA(page, controls_.statusId, text.c_str());
        client_.queries().recordStatusSet();
    }

    Client& client_;
    std::string caption_;
    PageGroup group_;
    PageControls controls_;
    QueryReply reply_;
    Step step_ = Step::Answer;
    bool ownerData_ = false;
    std::vector<Row> shownRows_;  // what an owner-data list shows
};

bool startsAQuery(const std::string& buttonName)
{
    for (const char* name : toolbarQueryButtons) {
        if (buttonName == name) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool listsByOwnerData(const ClientSetup& setup, const std::string& caption)
{
    const std::optional<PageGroup> group = groupOf(caption);
    return setup.ownerDataLists && group && (*group == PageGroup::Orders || *group == PageGroup::Trades);
}

QueryContents defaultContents(const std::string& caption)
{
    const std::optional<PageGroup> group = groupOf(caption);
    return group ? defaultsOf(*group) : QueryContents{};
}

std::unique_ptr<PageBehaviour> makeQueryBehaviour(Client& client, const std::string& caption)
{
    const std::optional<PageGroup> group = groupOf(caption);
    if (!group) {
        return nullptr;
    }
    return std::make_unique<QueryBehaviour>(client, caption, *group);
}

bool runToolbarQuery(Client& client, const std::string& buttonName)
{
    const HWND page = client.queries().shortablePage();
    PageBehaviours* behaviours = page == nullptr ? nullptr : client.behavioursOf(page);
    if (!startsAQuery(buttonName) || behaviours == nullptr) {
        return false;
    }
    for (auto& behaviour : *behaviours) {
        if (auto* query = dynamic_cast<QueryBehaviour*>(behaviour.get())) {
            query->startQuery(page, QueryClick{{}, 0, buttonName});
            return true;
        }
    }
    return false;
}

}  // namespace substitute
