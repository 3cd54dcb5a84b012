#include "cancel_desk.h"

#include "client.h"
#include "dialogs.h"
#include "prompts.h"
#include "texts.h"
#include "ui_thread.h"

namespace substitute {

void CancelDesk::setScript(CancelScript script)
{
    std::lock_guard<std::mutex> guard(mutex_);
    script_ = std::move(script);
}

CancelScript CancelDesk::script() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return script_;
}

std::vector<CancelRequest> CancelDesk::requests() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return requests_;
}

std::string cancelConfirmationText(const std::string& code, const std::string& orderNo)
{
    // The marker is not at the start: a reader must look for it, not compare.
    return "委托编号: " + orderNo + "\r\n证券代码: " + code + "\r\n" + texts::cancelConfirm + "\r\n您确定要撤销这笔委托吗?";
}

// One double click: its request in the desk and the prompts the script asks for.
class CancelFlow {
public:
    explicit CancelFlow(Client& client) : desk_(client.cancels()), owner_(client.mainWindow()), client_(client) {}
    ~CancelFlow();
    CancelFlow(const CancelFlow&) = delete;
    CancelFlow& operator=(const CancelFlow&) = delete;

    // Records the request. False when another flow is under way: the double
    // click is then recorded but not answered.
    bool begin(CancelRequest request);
    void run(const std::string& confirmation);

    // Called by the flow's prompts.
    void step(const std::string& text);

private:
    bool show(const std::string& text);

    CancelDesk& desk_;
    HWND owner_;
    Client& client_;
    CancelScript script_;
    size_t request_ = 0;
    bool running_ = false;
};

CancelFlow::~CancelFlow()
{
    if (running_) {
        std::lock_guard<std::mutex> guard(desk_.mutex_);
        desk_.running_ = false;
    }
}

bool CancelFlow::begin(CancelRequest request)
{
    std::lock_guard<std::mutex> guard(desk_.mutex_);
    desk_.requests_.push_back(std::move(request));
    request_ = desk_.requests_.size() - 1;
    if (desk_.running_) {
        return false;
    }
    desk_.running_ = running_ = true;
    script_ = desk_.script_;
    return true;
}

void CancelFlow::run(const std::string& confirmation)
{
    if (!script_.answers) {
        return;
    }
    if (!script_.confirms) {
        show(script_.refusalText);
        return;
    }
    if (!show(confirmation)) {
        return;
    }
    if (client_.reach(Moment::CancelConfirmed) && !IsWindow(owner_)) {
        return;
    }
    for (int busy = 0; busy < script_.busyAnswers; ++busy) {
        if (!show(texts::busy)) {
            return;
        }
    }
    if (script_.reports) {
        show(script_.resultText);
    }
}

void CancelFlow::step(const std::string& text)
{
    std::lock_guard<std::mutex> guard(desk_.mutex_);
    desk_.requests_[request_].steps.push_back(text);
}

// Shows one modal prompt after the client's pause; true when it was answered
// with its button. Nothing is shown once the client is closing.
bool CancelFlow::show(const std::string& text)
{
    pumpFor(script_.delayMs);
    if (!IsWindow(owner_)) {
        return false;
    }
    const PromptRecorder recorder = {[&] { step("open " + text); },
                                     [&](PromptEnd end) {
                                         step(end == PromptEnd::Confirmed ? "click " + std::to_string(ids::promptButton)
                                                                          : "close " + text);
                                     },
                                     [&] { client_.reach(Moment::PromptRead, text); }};
    return runPrompt(owner_, {texts::promptTitle, text}, recorder) == PromptEnd::Confirmed;
}

namespace {

HWND pageList(HWND page)
{
    return FindWindowExA(page, nullptr, WC_LISTVIEWA, nullptr);
}

std::vector<int> selectedRows(HWND list)
{
    std::vector<int> rows;
    for (LRESULT row = SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED); row >= 0;
         row = SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(row), LVNI_SELECTED)) {
        rows.push_back(static_cast<int>(row));
    }
    return rows;
}

int columnOf(HWND list, const std::string& caption)
{
    const auto header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    const LRESULT count = SendMessageA(header, HDM_GETITEMCOUNT, 0, 0);
    for (int column = 0; column < count; ++column) {
        char text[256] = {};
        LVCOLUMNA entry = {};
        entry.mask = LVCF_TEXT;
        entry.pszText = text;
        entry.cchTextMax = sizeof text - 1;
        SendMessageA(list, LVM_GETCOLUMNA, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&entry));
        if (caption == text) {
            return column;
        }
    }
    return -1;
}

// The cell of `row` under the column `caption`; empty when there is none.
std::string cellUnder(HWND list, int row, const std::string& caption)
{
    const int column = columnOf(list, caption);
    if (column < 0) {
        return {};
    }
    char text[512] = {};
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof text - 1;
    SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return text;
}

DoubleClickNotice noticeOf(const NMHDR& header)
{
    // NM_DBLCLK of a list view carries an NMITEMACTIVATE.
    const auto& activation = reinterpret_cast<const NMITEMACTIVATE&>(header);
    return {header.hwndFrom, header.idFrom, static_cast<int>(header.code), activation.iItem, activation.iSubItem};
}

// The today's-orders page: a double click on a row of its list asks to
// cancel that row's order. The handler dispatches by the notification's
// control ID and takes the row from the notification, as the client's
// framework does; a click off the rows opens nothing.
class CancelBehaviour : public PageBehaviour {
public:
    CancelBehaviour(Client& client, std::string caption) : client_(client), caption_(std::move(caption)) {}

    void build(HWND) override {}

    bool onNotify(HWND page, const NMHDR& header) override
    {
        if (header.code != static_cast<UINT>(NM_DBLCLK)) {
            return false;
        }
        const HWND list = pageList(page);
        CancelRequest request{caption_, noticeOf(header), selectedRows(list), {}};
        const int row = request.notice.iItem;
        const bool onRow = header.idFrom == static_cast<UINT_PTR>(GetDlgCtrlID(list)) && row >= 0 &&
                           row < SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
        CancelFlow flow(client_);
        if (flow.begin(std::move(request)) && onRow) {
            flow.run(cancelConfirmationText(cellUnder(list, row, "证券代码"), cellUnder(list, row, "委托编号")));
        }
        return true;
    }

private:
    Client& client_;
    std::string caption_;
};

}  // namespace

std::unique_ptr<PageBehaviour> makeCancelBehaviour(Client& client, const std::string& caption)
{
    if (caption == "当日委托" || caption == "当日委托查询") {
        return std::make_unique<CancelBehaviour>(client, caption);
    }
    return nullptr;
}

}  // namespace substitute
