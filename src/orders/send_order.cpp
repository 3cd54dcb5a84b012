#include "orders/send_order.h"

#include "orders/control_operations.h"
#include "orders/order_constants.h"
#include "orders/order_texts.h"
#include "platform/windows_ui.h"
#include "session/operation.h"
#include "support/text_utils.h"

namespace zelvo {

namespace {

// The four controls of an order page that an order fills and clicks.
struct OrderControls {
    HWND code;
    HWND price;
    HWND quantity;
    HWND button;
};

// The caption of the page an order kind is placed on; empty for a kind
// the library does not place. Kinds 5 and 6 are not in profile order.
[[nodiscard]] std::string captionOfKind(const BrokerProfile& profile, int kind)
{
    switch (kind) {
    case 0: return profile.buyCaption;
    case 1: return profile.sellCaption;
    case 2: return profile.marginBuyCaption;
    case 3: return profile.shortSellCaption;
    case 4: return profile.buyToReturnCaption;
    case 5: return profile.sellToRepayCaption;
    case 6: return profile.returnInKindCaption;
    default: return {};
    }
}

// Buy and sell use the profile's ordinary set; the margin kinds the credit set.
[[nodiscard]] OrderControls findOrderControls(HWND page, const BrokerProfile& profile, int kind)
{
    const bool ordinary = kind < 2;
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
        const DialogFill fill = {order_ids::passwordEdit, order_ids::passwordCheck, order_ids::passwordOk, dialog};
        static_cast<void>(fillCheckAndConfirm(fill, password));
    }
    if (!waitUntilClosed(dialog)) {
        message = order_texts::passwordTimeout;
        return false;
    }
    if (!waitForNextPopup(tracker, mainWindow)) {
        message = order_texts::answerTimeout;
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
    if (!waitForNewPopup(tracker, mainWindow)) {
        message = order_texts::confirmationTimeout;
        return false;
    }
    if (!containsText(readCaption(tracker), order_texts::tradeConfirmTitle)) {
        return true;
    }
    // Accepting starts work in the client: posted, so its pop-ups can be watched.
    postClickButton(tracker);
    if (!waitForNextPopup(tracker, mainWindow)) {
        message = order_texts::answerTimeout;
        return false;
    }
    if (readCaption(tracker) != order_texts::passwordTitle) {
        return true;
    }
    return passPasswordDialog(tracker, mainWindow, password, message);
}

// Reads the final prompt's message and closes the prompt. The contract
// number it states, or -1.
[[nodiscard]] int takeFinalPrompt(const PromptTracker& tracker, std::string& message)
{
    const bool readable = findDescendantById(tracker.popup, tracker.textId) != nullptr;
    message = readable ? readText(tracker) : std::string(order_texts::answerUnreadable);
    clickButton(tracker);
    return readable ? contractNumber(message) : -1;
}

}  // namespace

int sendOrder(int kind, std::string code, int quantity, std::string& message, double price)
{
    SessionState& s = session();
    LockGuard guard(s.lock);
    if (!startOperation(s, message)) {
        return -1;
    }
    const HWND page = pageForCaption(s, captionOfKind(s.profile, kind), message);
    if (page == nullptr) {
        return -1;
    }
    if (code.size() > order_limits::maxCodeBytes) {
        message = order_texts::codeTooLong;
        return -1;
    }
    const OrderControls controls = findOrderControls(page, s.profile, kind);
    if (!isComplete(controls)) {
        message = order_texts::controlsMissing;
        return -1;
    }
    writeOrder(controls, code, price, quantity);
    postButtonClick(controls.button);
    PromptTracker tracker;
    if (!reachFinalPrompt(tracker, s.mainWindow, s.tradePassword, message)) {
        if (!clientAlive(s)) {
            message = operation_texts::clientGone;
        }
        return -1;
    }
    return takeFinalPrompt(tracker, message);
}

}  // namespace zelvo
