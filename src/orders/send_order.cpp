#include "orders/send_order.h"

#include <optional>

#include "client/client_ui.h"
#include "client/prompts.h"
#include "platform/windows_ui.h"
#include "session/operation.h"
#include "text/gbk_text.h"
#include "text/order_texts.h"
#include "zelvo_answers.h"
#include "zelvo_kinds.h"

namespace zelvo {

namespace {

// The four controls of an order page that an order fills and clicks.
struct OrderControls {
    HWND code;
    HWND price;
    HWND quantity;
    HWND button;
};

// Security codes are a few characters; this leaves room for any market's.
constexpr size_t maxCodeBytes = 64;

// The page an order kind is placed on.
[[nodiscard]] constexpr Page pageOf(OrderKind kind) noexcept
{
    switch (kind) {
    case OrderKind::Buy: return Page::Buy;
    case OrderKind::Sell: return Page::Sell;
    case OrderKind::MarginBuy: return Page::MarginBuy;
    case OrderKind::ShortSell: return Page::ShortSell;
    case OrderKind::BuyToReturn: return Page::BuyToReturn;
    case OrderKind::SellToRepay: return Page::SellToRepay;
    case OrderKind::ReturnInKind: return Page::ReturnInKind;
    }
    return Page::Buy;
}

[[nodiscard]] std::optional<Page> pageOfKind(int kind) noexcept
{
    const std::optional<OrderKind> known = orderKindOf(kind);
    return known ? std::optional<Page>(pageOf(*known)) : std::nullopt;
}

// Buy and sell use the profile's ordinary set; the margin kinds the credit set.
[[nodiscard]] OrderControls findOrderControls(HWND page, const BrokerProfile& profile, OrderKind kind)
{
    const bool ordinary = kind == OrderKind::Buy || kind == OrderKind::Sell;
    return {findDescendantById(page, ordinary ? profile.codeEditId : profile.creditCodeEditId),
            findDescendantById(page, ordinary ? profile.priceEditId : profile.creditPriceEditId),
            findDescendantById(page, ordinary ? profile.quantityEditId : profile.creditQuantityEditId),
            findDescendantById(page, ordinary ? profile.orderButtonId : profile.creditOrderButtonId)};
}

[[nodiscard]] bool isComplete(const OrderControls& controls)
{
    return controls.code != nullptr && controls.price != nullptr && controls.quantity != nullptr &&
           controls.button != nullptr;
}

// The writes are sent, so all three texts are in place before the click
// that follows them is queued.
void writeOrder(const OrderControls& controls, const std::string& code, double price, int quantity)
{
    const std::string priceString = priceText(code, price);
    const std::string quantityString = quantityText(quantity);
    SetWindowTextA(controls.code, code.c_str());
    SetWindowTextA(controls.price, priceString.c_str());
    SetWindowTextA(controls.quantity, quantityString.c_str());
}

// Types the stored password into the client's password dialog (an empty one,
// or a dialog without its controls, is left to the person at the client),
// waits for the dialog to go and then for the pop-up after it.
[[nodiscard]] bool passPasswordDialog(PromptTracker& tracker, HWND mainWindow, const std::string& password,
                                      std::string& message)
{
    const HWND dialog = tracker.popup;
    if (!password.empty()) {
        const DialogFill fill = {client_ui::passwordEdit, client_ui::passwordCheck, client_ui::passwordOk, dialog};
        static_cast<void>(fillCheckAndConfirm(fill, password));
    }
    if (!waitUntilClosed(dialog)) {
        message = answers::passwordTimeout;
        return false;
    }
    if (!waitForAnyPopup(tracker, mainWindow)) {
        message = answers::answerTimeout;
        return false;
    }
    return true;
}

// Follows the client's pop-ups from the order click to its final prompt,
// which the tracker then holds. A first pop-up that is no trade
// confirmation is the final prompt itself (an immediate refusal). False,
// with the reason in `message`, when a wait ran out.
[[nodiscard]] bool reachFinalPrompt(PromptTracker& tracker, HWND mainWindow, const std::string& password,
                                    std::string& message)
{
    if (!waitForPrompt(tracker, mainWindow)) {
        message = answers::confirmationTimeout;
        return false;
    }
    if (!containsText(readCaption(tracker), client_ui::tradeConfirmTitle)) {
        return true;
    }
    // Accepting starts work in the client: posted, so its pop-ups can be watched.
    postClickButton(tracker);
    if (!waitForAnyPopup(tracker, mainWindow)) {
        message = answers::answerTimeout;
        return false;
    }
    if (readCaption(tracker) != client_ui::passwordTitle) {
        return true;
    }
    return passPasswordDialog(tracker, mainWindow, password, message);
}

// Reads the final prompt's message and closes the prompt. The contract
// number it states, or -1.
[[nodiscard]] int takeFinalPrompt(const PromptTracker& tracker, std::string& message)
{
    const bool readable = findDescendantById(tracker.popup, tracker.textId) != nullptr;
    message = readable ? readText(tracker) : std::string(answers::answerUnreadable);
    clickButton(tracker);
    return readable ? contractNumber(message) : -1;
}

}  // namespace

int sendOrder(int kind, std::string code, double price, int quantity, std::string& message)
{
    SessionState& s = session();
    LockGuard guard(s.lock);
    if (!startOperation(s, message)) {
        return -1;
    }
    const HWND page = pageWindow(s, pageOfKind(kind), message);
    if (page == nullptr) {
        return -1;
    }
    if (code.size() > maxCodeBytes) {
        message = answers::codeTooLong;
        return -1;
    }
    const OrderControls controls = findOrderControls(page, s.profile, static_cast<OrderKind>(kind));
    if (!isComplete(controls)) {
        message = answers::controlsMissing;
        return -1;
    }
    writeOrder(controls, code, price, quantity);
    postButtonClick(controls.button);
    PromptTracker tracker;
    if (!reachFinalPrompt(tracker, s.mainWindow, s.tradePassword, message)) {
        if (!clientAlive(s)) {
            message = answers::clientGone;
        }
        return -1;
    }
    return takeFinalPrompt(tracker, message);
}

}  // namespace zelvo
