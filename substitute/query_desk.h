// The substitute client's query pages: what each page shows (list columns
// and rows, funds lines, the status text), how the page answers its next
// query click, and the record of the clicks and prompts.
//
// Every query caption of every edition gets a page with a status text, a
// query button and a report-view list (control 1047, the page's first
// child):
//   funds pages ("资金股份", "资金股份查询"): status 1243, button 1140, the
//     funds texts 1576 (renminbi), 1573 (US dollar), 1154 (HK dollar) and
//     the positions list;
//   today's orders and trades, the cancel page, the shareholder lists:
//     status 1243, button 1140;
//   the margin and short contract pages: status 166, button 144;
//   the shortable-securities pages ("融券卖出", "标的证券查询",
//     "可融证券查询"): status 166, button ClientSetup::shortableQueryButtonId.
//     A toolbar press of "刷新" or "融券卖出" runs the query of the
//     shortable page, the shown one if several are open.
//
// A query click is answered asynchronously, from a timer of the page, as
// the real client answers when its server replies. Tests and the demo use
// the desk from any thread; the desk keeps its own lock.
#pragma once
#include <windows.h>

#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "page.h"

namespace substitute {

class Client;

using Row = std::vector<std::string>;

// What a page shows after a data answer. Cells are GBK text; a row may be
// shorter than the column list (the missing cells are empty).
struct QueryContents {
    std::vector<std::string> columns;  // no columns: a list without header items
    std::vector<Row> rows;
    std::string status = "查询完毕";
    // Funds pages only.
    std::string rmbFunds;
    std::string usdFunds;
    std::string hkdFunds;
};

enum class ReplyKind {
    Data,          // the list refilled from the contents, then the status text set
    NoRecords,     // the list shows only the row "没有相应的查询信息!"; after
                   // another `delayMs` the status text is set
    MessageRow,    // the list shows only the row `text` (no status text)
    ErrorPrompt,   // a modal prompt `text` owned by the main frame; nothing else
    BusyThenData,  // the modal prompt "上次请求未返回，请不要频繁点击!" first; once it
                   // is confirmed, a data answer after another `delayMs`
    Silence,       // no answer at all
    StatusOnly,    // the status text set, the list left as it was (nothing changed
                   // since the last answer); the benchmark times a read with it
};

struct QueryReply {
    ReplyKind kind = ReplyKind::Data;
    DWORD delayMs = 20;   // from the click to the answer
    std::string text;     // the prompt or message row of ErrorPrompt and MessageRow
};

// One query started on a page.
struct QueryClick {
    std::string caption;
    int buttonId = 0;           // the query button clicked; 0 for a toolbar press
    std::string toolbarButton;  // the toolbar button that was pressed, if any
};

// One prompt a query answer showed, and how it was closed.
struct QueryPrompt {
    std::string text;
    bool confirmed = false;  // closed by its button 7015 (not by WM_CLOSE or teardown)
};

class QueryDesk {
public:
    // The contents a page shows from its next data answer on (and at once
    // when the page is built later). Each setter changes one part of the
    // caption's contents; the defaults are a few plausible rows per page.
    // setRows is how the cancel flow and the demo fill the today's orders.
    void setContents(const std::string& caption, QueryContents contents);
    void setColumns(const std::string& caption, std::vector<std::string> columns);
    void setRows(const std::string& caption, std::vector<Row> rows);
    void setStatus(const std::string& caption, std::string status);
    void setFunds(const std::string& caption, std::string rmb, std::string usd, std::string hkd);
    [[nodiscard]] QueryContents contents(const std::string& caption) const;

    // Queues the answer to a later query of the page: each query takes the
    // next queued reply of its caption; with none queued it gets the
    // default reply (data after 20 ms unless changed).
    void queueReply(const std::string& caption, QueryReply reply);
    void setDefaultReply(QueryReply reply);

    [[nodiscard]] std::vector<QueryClick> clicks() const;
    // When a page last set its status text (the end of an answer), in
    // milliseconds of the performance counter; for latency measurements.
    [[nodiscard]] double lastStatusSetMs() const;
    [[nodiscard]] std::vector<QueryPrompt> prompts() const;

    // Internal, called on the client's UI thread by its pages and toolbar.
    QueryReply takeReply(const std::string& caption);
    void recordClick(QueryClick click);
    void recordStatusSet();
    size_t recordPrompt(const std::string& text);
    void recordPromptClosed(size_t index, bool confirmed);
    void registerShortablePage(HWND page);
    [[nodiscard]] HWND shortablePage() const;

private:
    QueryContents& entry(const std::string& caption);

    mutable std::mutex mutex_;
    std::map<std::string, QueryContents> contents_;
    std::map<std::string, std::deque<QueryReply>> replies_;
    QueryReply defaultReply_;
    std::vector<QueryClick> clicks_;
    std::vector<QueryPrompt> prompts_;
    std::vector<HWND> shortablePages_;
    double lastStatusSetMs_ = 0;
};



}  // namespace substitute
