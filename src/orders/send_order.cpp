#include "orders/send_order.h"

#include <optional>

#include "client/client_ui.h"
#include "client/confirmations.h"
#include "client/main_frame.h"
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
// that follows them is queued. False when the client did not answer one.
[[nodiscard]] bool writeOrder(const Client& client, const OrderControls& controls, const std::string& code,
                              double price, int quantity)
{
    MessageChannel& channel = client.channel;
    return setWindowText(channel, controls.code, code) &&
           setWindowText(channel, controls.price, priceText(code, price)) &&
           setWindowText(channel, controls.quantity, quantityText(quantity));
}

// The order's first prompt: its own trade confirmation, or its final prompt
// (an immediate refusal, or the answer of a client that asks no
// confirmation). A cancel's confirmation, and a trade confirmation that names
// another security, belong to calls that gave up on them: declined.
[[nodiscard]] PromptScreen ownFirstPrompt(const std::string& code)
{
    return [code](const Client& client, PromptTracker& tracker) {
        switch (confirmationIn(client, tracker)) {
        case Confirmation::None: return PromptVerdict::Take;
        case Confirmation::Cancel: return PromptVerdict::Decline;
        case Confirmation::Trade: break;
        }
        return namesOtherSecurity(readText(client, tracker), code) ? PromptVerdict::Decline : PromptVerdict::Take;
    };
}

// Types the stored password into the client's password dialog (an empty one,
// or a dialog without its controls, is left to the person at the client),
// waits for the dialog to go and then for the pop-up after it. A dialog that
// stays open past the bound is declined: nobody may finish the order later.
[[nodiscard]] bool passPasswordDialog(const Client& client, PromptTracker& prompts, const std::string& password,
                                      std::string& message)
{
    const HWND dialog = prompts.popup;
    if (!password.empty()) {
        const DialogFill fill = {client_ui::passwordEdit, client_ui::passwordCheck, client_ui::passwordOk, dialog};
        static_cast<void>(fillCheckAndConfirm(client, fill, password));
    }
    if (!waitUntilClosed(client, dialog)) {
        declinePopup(client, dialog);
        message = answers::passwordTimeout;
        return false;
    }
    if (!waitForAnyPopup(client, prompts, declineConfirmations)) {
        message = answers::answerTimeout;
        return false;
    }
    return true;
}

// Follows the client's pop-ups from the order click to its final prompt,
// which the tracker then holds. A first pop-up that is no trade
// confirmation is the final prompt itself. False, with the reason in
// `message`, when a wait ran out or the client stopped; the order may be out
// whichever way it failed, since the click has been posted.
[[nodiscard]] bool reachFinalPrompt(const Client& client, PromptTracker& prompts, const std::string& code,
                                    const std::string& password, std::string& message)
{
    if (!waitForPrompt(client, prompts, ownFirstPrompt(code))) {
        message = answers::confirmationTimeout;
        return false;
    }
    const std::string caption = readCaption(client, prompts);
    if (!containsText(caption, client_ui::tradeConfirmTitle)) {
        return true;
    }
    // Accepting starts work in the client: posted, so its pop-ups can be
    // watched. From here on only this order's answers are taken.
    if (!postClickButton(client, prompts) ||
        !waitForAnyPopup(client, prompts, declineConfirmations)) {
        message = answers::answerTimeout;
        return false;
    }
    const std::string next = readCaption(client, prompts);
    if (client.channel.lost()) {
        return false;
    }
    return next != client_ui::passwordTitle || passPasswordDialog(client, prompts, password, message);
}

// Reads the final prompt's message and closes the prompt. The contract
// number it states, or -1. Once the message is read, it is the answer,
// whatever becomes of the click that closes the prompt.
[[nodiscard]] int takeFinalPrompt(const Client& client, PromptTracker& tracker, std::string& message)
{
    if (findDescendantById(tracker.popup, tracker.textId) == nullptr) {
        message = answers::answerUnreadable;
        static_cast<void>(clickButton(client, tracker));
        return -1;
    }
    message = readText(client, tracker);
    if (client.channel.lost()) {
        message = answers::orderNotAnswering;
        return -1;
    }
    static_cast<void>(clickButton(client, tracker));
    return contractNumber(message);
}

// The order from its page to the client's final prompt.
[[nodiscard]] int placeOrder(SessionState& s, const Client& client, int kind, const std::string& code, double price,
                             int quantity, std::string& message)
{
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
    if (!writeOrder(client, controls, code, price, quantity)) {
        explainClientStop(client, Commitment::None, message);
        return -1;
    }
    if (!postButtonClick(client.channel, controls.button)) {
        // Nothing was queued: the button went away, or the client's queue is full.
        if (!explainClientStop(client, Commitment::None, message)) {
            message = answers::controlsMissing;
        }
        return -1;
    }
    // The click is queued: whatever answer does not come from the client's
    // final prompt says the order may be out. A client without a
    // confirmation step sends it on the click itself.
    PromptTracker prompts;
    if (!reachFinalPrompt(client, prompts, code, s.tradePassword, message)) {
        explainClientStop(client, Commitment::Order, message);
        return -1;
    }
    return takeFinalPrompt(client, prompts, message);
}

}  // namespace

int sendOrder(int kind, std::string code, double price, int quantity, std::string& message)
{
    SessionState& s = session();
    if (refuseNestedCall(s, message)) {
        return -1;
    }
    LockGuard guard(s.lock);
    MessageChannel channel = s.channel();
    const Client client = s.client(channel);
    if (!startOperation(s, client, message)) {
        return -1;
    }
    return placeOrder(s, client, kind, code, price, quantity, message);
}

}  // namespace zelvo
