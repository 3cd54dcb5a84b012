// The order pages' behaviour: four controls, and on a click of the order
// button the client's chain of modal pop-ups, run inside the click's handler
// on the client's UI thread the way the real client runs it.
#include <algorithm>
#include <memory>

#include "order_flow.h"

#include "client.h"
#include "dialogs.h"
#include "order_desk.h"
#include "prompts.h"
#include "ui_thread.h"

namespace substitute {

// One order click: its ticket in the desk and the pop-ups the script asks for.
class OrderFlow {
public:
    explicit OrderFlow(Client& client) : desk_(client.orders()), owner_(client.mainWindow()), client_(client) {}
    ~OrderFlow();
    OrderFlow(const OrderFlow&) = delete;
    OrderFlow& operator=(const OrderFlow&) = delete;

    // Records the click's ticket and takes the flow. False when another flow
    // is under way: the click then waits, and its flow runs after that one.
    bool begin(OrderTicket ticket);
    // Takes the flow of the oldest click that waited; false when none did.
    bool beginWaiting();
    void run();

    // Called by the flow's dialogs.
    void step(const std::string& text);
    void passwordDialogShown(HWND dialog);
    void passwordConfirmed(const std::string& password, bool checked);

private:
    static INT_PTR CALLBACK passwordProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

    bool show(const PromptLayout& prompt, DWORD stallOnReadMs = 0);
    void showAnswer(const PromptLayout& answer);
    bool askPassword();
    bool pauseBeforePopup() const;
    std::string confirmationText() const;
    std::string finalText();

    OrderDesk& desk_;
    HWND owner_;
    Client& client_;
    OrderScript script_;
    size_t ticket_ = 0;
    bool running_ = false;
};

namespace {

constexpr char noticeTitle[] = "提示";
constexpr char noticeText[] = "正在提交委托,请稍候...";
constexpr char passwordLabel[] = "请输入交易密码:";
constexpr char passwordCheckText[] = "本次登录不再提示";
constexpr char okText[] = "确定";

// What the order's ticket records of one of its prompts. Self-contained, so
// a prompt shown by another thread may outlive the flow that asked for it.
PromptRecorder orderPromptRecorder(Client& client, size_t ticket, const PromptLayout& prompt, DWORD stallOnReadMs)
{
    OrderDesk* desk = &client.orders();
    const std::string title = prompt.title;
    const std::string text = prompt.text;
    auto stalled = std::make_shared<bool>(false);
    return {[desk, ticket, title] { desk->recordStep(ticket, "open " + title); },
            [desk, ticket, title](PromptEnd end) {
                const char* how = end == PromptEnd::WentByItself ? "gone " : "close ";
                desk->recordStep(ticket, end == PromptEnd::Confirmed ? "click " + std::to_string(ids::promptButton)
                                                                      : how + title);
            },
            [&client, stalled, stallOnReadMs, text] {
                if (stallOnReadMs > 0 && !*stalled) {
                    *stalled = true;
                    Sleep(stallOnReadMs);
                }
                client.reach(Moment::PromptRead, text);
            }};
}

std::string controlText(HWND parent, int id)
{
    char buffer[512] = {};
    GetDlgItemTextA(parent, id, buffer, sizeof buffer);
    return buffer;
}

}  // namespace

OrderFlow::~OrderFlow()
{
    if (running_) {
        std::lock_guard<std::mutex> guard(desk_.mutex_);
        desk_.running_ = false;
        desk_.passwordDialog_ = nullptr;
    }
}

bool OrderFlow::begin(OrderTicket ticket)
{
    std::lock_guard<std::mutex> guard(desk_.mutex_);
    const auto own = desk_.codeScripts_.find(ticket.code);
    const OrderScript script = own != desk_.codeScripts_.end() ? own->second : desk_.script_;
    desk_.tickets_.push_back(std::move(ticket));
    if (desk_.running_) {
        desk_.queued_.emplace_back(desk_.tickets_.size() - 1, script);
        return false;
    }
    script_ = script;
    ticket_ = desk_.tickets_.size() - 1;
    desk_.running_ = running_ = true;
    return true;
}

bool OrderFlow::beginWaiting()
{
    std::lock_guard<std::mutex> guard(desk_.mutex_);
    if (desk_.running_ || desk_.queued_.empty()) {
        return false;
    }
    ticket_ = desk_.queued_.front().first;
    script_ = desk_.queued_.front().second;
    desk_.queued_.pop_front();
    desk_.running_ = running_ = true;
    return true;
}

void OrderFlow::run()
{
    if (!script_.answers) {
        return;
    }
    if (script_.noticeFirst) {
        show({noticeTitle, noticeText, false, script_.noticeMs});
    }
    if (script_.confirms && !show({script_.confirmationTitle, confirmationText(), true, 0})) {
        return;
    }
    if (script_.confirms && client_.reach(Moment::OrderConfirmed) && !IsWindow(owner_)) {
        return;
    }
    if (script_.asksPassword && !askPassword()) {
        return;
    }
    if (script_.reports) {
        showAnswer({script_.finalTitle, finalText(), true, 0, script_.answerReadable});
    }
}

void OrderFlow::step(const std::string& text)
{
    desk_.recordStep(ticket_, text);
}

void OrderFlow::passwordDialogShown(HWND dialog)
{
    std::lock_guard<std::mutex> guard(desk_.mutex_);
    desk_.passwordDialog_ = dialog;
}

void OrderFlow::passwordConfirmed(const std::string& password, bool checked)
{
    std::lock_guard<std::mutex> guard(desk_.mutex_);
    OrderTicket& ticket = desk_.tickets_[ticket_];
    ticket.password = password;
    ticket.passwordChecked = checked;
}

// The client's pause before a pop-up, answering its messages meanwhile.
// False when the client is closing and shows nothing more.
bool OrderFlow::pauseBeforePopup() const
{
    pumpFor(script_.delayMs);
    return IsWindow(owner_) != FALSE;
}

// Shows one modal prompt; true when it was answered with its button. With
// `stallOnReadMs`, the first read of the prompt stops the client's thread
// for that long, answering nothing meanwhile.
bool OrderFlow::show(const PromptLayout& prompt, DWORD stallOnReadMs)
{
    if (!pauseBeforePopup()) {
        return false;
    }
    const PromptRecorder recorder = orderPromptRecorder(client_, ticket_, prompt, stallOnReadMs);
    return runPrompt(owner_, prompt, recorder) == PromptEnd::Confirmed;
}

// The order's answer: shown here, or by the client's second thread when the
// client reports from there (its network thread), while this thread goes on
// answering its messages.
void OrderFlow::showAnswer(const PromptLayout& answer)
{
    if (!client_.setup().popupsFromAnotherThread) {
        show(answer, script_.stallOnAnswerReadMs);
        return;
    }
    const PromptRecorder recorder = orderPromptRecorder(client_, ticket_, answer, script_.stallOnAnswerReadMs);
    const HWND owner = owner_;
    const DWORD delayMs = script_.delayMs;
    client_.secondThread().post([owner, answer, recorder, delayMs] {
        pumpFor(delayMs);
        if (IsWindow(owner)) {
            runPrompt(owner, answer, recorder);
        }
    });
}

bool OrderFlow::askPassword()
{
    return pauseBeforePopup() && runModalDialog(owner_, passwordProc, reinterpret_cast<LPARAM>(this)) == IDOK;
}

std::string OrderFlow::confirmationText() const
{
    if (!script_.confirmationNamesOrder) {
        return script_.confirmationText;
    }
    OrderTicket ticket;
    {
        std::lock_guard<std::mutex> guard(desk_.mutex_);
        ticket = desk_.tickets_[ticket_];
    }
    return script_.confirmationText + "\r\n操作类别: " + ticket.page + "\r\n证券代码: " + ticket.code +
           "\r\n委托价格: " + ticket.price + "\r\n委托数量: " + ticket.quantity;
}

std::string OrderFlow::finalText()
{
    if (!script_.finalText.empty()) {
        return script_.finalText;
    }
    OrderTicket placed;
    std::function<void(const OrderTicket&)> listener;
    {
        std::lock_guard<std::mutex> guard(desk_.mutex_);
        desk_.tickets_[ticket_].contract = desk_.nextContract_++;
        placed = desk_.tickets_[ticket_];
        listener = desk_.placedListener_;
    }
    if (listener) {
        listener(placed);
    }
    return "委托已成功提交，合同号是" + std::to_string(placed.contract) + "。";
}

INT_PTR CALLBACK OrderFlow::passwordProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        auto* flow = reinterpret_cast<OrderFlow*>(lParam);
        SetWindowTextA(dialog, texts::passwordTitle);
        addControl(dialog, "Static", passwordLabel, WS_VISIBLE, -1, 10, 10, 120, 20);
        addControl(dialog, "Edit", "", WS_VISIBLE | WS_BORDER | ES_PASSWORD | ES_AUTOHSCROLL, ids::passwordEdit, 130, 8, 150, 22);
        HWND check = addControl(dialog, "Button", passwordCheckText, WS_VISIBLE | BS_AUTOCHECKBOX, ids::passwordCheck,
                                10, 36, 200, 20);
        SendMessageA(check, BM_SETCHECK, flow->script_.passwordBoxChecked ? BST_CHECKED : BST_UNCHECKED, 0);
        addControl(dialog, "Button", okText, WS_VISIBLE | BS_DEFPUSHBUTTON, ids::passwordOk, 110, 62, 80, 24);
        flow->step(std::string("open ") + texts::passwordTitle);
        flow->passwordDialogShown(dialog);
        return TRUE;
    }
    auto* flow = reinterpret_cast<OrderFlow*>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (flow == nullptr) {
        return FALSE;
    }
    const bool confirmed = message == WM_COMMAND && LOWORD(wParam) == ids::passwordOk;
    const bool dismissed = message == WM_CLOSE || (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL);
    if (!confirmed && !dismissed) {
        return FALSE;
    }
    flow->passwordDialogShown(nullptr);
    if (confirmed) {
        flow->passwordConfirmed(controlText(dialog, ids::passwordEdit),
                                IsDlgButtonChecked(dialog, ids::passwordCheck) == BST_CHECKED);
    }
    flow->step(confirmed ? "click " + std::to_string(ids::passwordOk) : std::string("close ") + texts::passwordTitle);
    EndDialog(dialog, confirmed ? IDOK : IDCANCEL);
    return TRUE;
}

namespace {

// An order page: code, price and quantity edits and the order button, with
// the control set the edition gives this page.
class OrderBehaviour : public PageBehaviour {
public:
    OrderBehaviour(Client& client, std::string caption, ids::OrderControlSet controls)
        : client_(client), caption_(std::move(caption)), controls_(controls) {}

    void build(HWND page) override
    {
        addControl(page, "Static", "证券代码", WS_VISIBLE, -1, 10, 6, 110, 20);
        addControl(page, "Static", "价格", WS_VISIBLE, -1, 130, 6, 110, 20);
        addControl(page, "Static", "数量", WS_VISIBLE, -1, 250, 6, 110, 20);
        const DWORD editStyle = WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL;
        addControl(page, "Edit", "", editStyle, controls_.code, 10, 28, 110, 22);
        addControl(page, "Edit", "", editStyle, controls_.price, 130, 28, 110, 22);
        addControl(page, "Edit", "", editStyle, controls_.quantity, 250, 28, 110, 22);
        addControl(page, "Button", "下单", WS_VISIBLE | BS_PUSHBUTTON, controls_.button, 370, 26, 80, 26);
    }

    bool onCommand(HWND page, int id, int code, HWND) override
    {
        if (id != controls_.button || code != BN_CLICKED) {
            return false;
        }
        {
            OrderFlow flow(client_);
            if (!flow.begin(ticketAtClick(page))) {
                return true;  // waits for the flow under way, which runs it after its own
            }
            client_.reach(Moment::OrderClicked);
            flow.run();
        }
        // The clicks that came while the pop-ups were up, in order.
        for (;;) {
            OrderFlow waiting(client_);
            if (!waiting.beginWaiting()) {
                return true;
            }
            waiting.run();
        }
    }

private:
    OrderTicket ticketAtClick(HWND page) const
    {
        OrderTicket ticket;
        ticket.page = caption_;
        ticket.code = controlText(page, controls_.code);
        ticket.price = controlText(page, controls_.price);
        ticket.quantity = controlText(page, controls_.quantity);
        ticket.steps.push_back("click " + std::to_string(controls_.button));
        return ticket;
    }

    Client& client_;
    std::string caption_;
    ids::OrderControlSet controls_;
};

bool isOneOf(const std::string& caption, std::initializer_list<const char*> captions)
{
    return std::any_of(captions.begin(), captions.end(), [&](const char* entry) { return caption == entry; });
}

}  // namespace

std::unique_ptr<PageBehaviour> makeOrderBehaviour(Client& client, const std::string& caption)
{
    if (isOneOf(caption, {"买入", "卖出", "担保品买入", "担保品卖出"})) {
        // One edition puts the credit controls on these pages for credit accounts.
        const ids::OrderControlSet controls =
            client.setup().creditIdsOnOrderPages ? ids::creditOrderControls : ids::ordinaryOrderControls;
        return std::make_unique<OrderBehaviour>(client, caption, controls);
    }
    if (isOneOf(caption, {"融资买入", "融券卖出", "买券还券", "现券还券", "卖券还款"})) {
        return std::make_unique<OrderBehaviour>(client, caption, ids::creditOrderControls);
    }
    return nullptr;
}

}  // namespace substitute
