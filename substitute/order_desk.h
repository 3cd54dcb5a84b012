// The substitute client's order pages: their controls, the scripted flow of
// pop-ups an order click runs, and the record of what was done to them.
//
// A click on a page's order button runs the client's own flow inside the
// click's handler, each pop-up modal and owned by the main frame: the trade
// confirmation, when scripted the password dialog, then the final prompt
// ("…合同号是NNNN…" or a refusal). Use: set a script, let the library (or a
// person) place orders, then read the tickets.
#pragma once
#include <windows.h>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "page.h"

namespace substitute {

class Client;


// How the client answers the order clicks that follow. The defaults: a trade
// confirmation, then a final prompt stating a new contract number. A click
// that comes while another order's pop-ups are up waits, and its own flow
// runs once that one has ended.
struct OrderScript {
    DWORD delayMs = 0;  // the client's pause before each pop-up it opens
    // A notice without a confirming button shows first and goes by itself.
    bool noticeFirst = false;
    DWORD noticeMs = 300;
    bool answers = true;   // false: the click opens no pop-up at all
    bool confirms = true;  // false: the final prompt comes first (an immediate refusal)
    std::string confirmationTitle = "交易确认";
    std::string confirmationText = "您确定要提交这笔委托吗?";
    // The confirmation's message also names the order, as a real client's
    // does: "操作类别: 买入", "证券代码: 600000", the price and the quantity.
    bool confirmationNamesOrder = true;
    bool asksPassword = false;        // the password dialog follows the confirmation
    bool passwordBoxChecked = false;  // its check box's state when it opens
    bool reports = true;              // false: nothing follows the confirmation (and password)
    // The client's thread stops answering for this long the first time the
    // final prompt is read (a slow network call on it): the caller gives up
    // on the order's result, which the client decided all the same.
    DWORD stallOnAnswerReadMs = 0;
    // false: the final prompt comes without its message control, so the
    // caller cannot read the result the client decided.
    bool answerReadable = true;
    std::string finalTitle = "提示";
    // The final prompt's message; empty: a success stating the next contract number.
    std::string finalText;
};

// One order click as the client handled it.
struct OrderTicket {
    std::string page;      // caption of the order page
    std::string code;      // the edits' texts when the button was clicked
    std::string price;
    std::string quantity;
    // What happened, in order: "click <id>" for a button that reached the
    // client, "open <title>" for a pop-up shown, "close <title>" for one
    // closed without its button, "gone <title>" for a notice that went by itself.
    std::vector<std::string> steps;
    std::string password;          // edit 7023 when button 7021 was clicked
    bool passwordChecked = false;  // check box 7024 then
    int contract = -1;             // the contract number the client gave; -1 for none
};

// The scripts and records of every order page of one client. Thread-safe.
class OrderDesk {
public:
    // The script for every order click from now on.
    void setScript(OrderScript script);
    [[nodiscard]] OrderScript script() const;
    // The script for the orders of one code, in place of the general one.
    void setScriptFor(const std::string& code, OrderScript script);
    // The contract number of the next order the client accepts (1001 at
    // first); a client restarted during the day goes on from its last one.
    void numberFrom(int contract);

    // Runs on the client's UI thread for every order the client accepts, with
    // its ticket (the demo lists the order among today's orders).
    void setPlacedListener(std::function<void(const OrderTicket&)> listener);

    // Every order click so far, oldest first.
    [[nodiscard]] std::vector<OrderTicket> tickets() const;

    // Plays the person at the client: waits up to `waitMs` for the password
    // dialog, types `password` into it and confirms it. False when no
    // password dialog came. Call it from any thread but the client's.
    [[nodiscard]] bool typePassword(const std::string& password, DWORD waitMs) const;

    // Internal: a step of the ticket's flow, from whichever of the client's
    // threads shows its prompt.
    void recordStep(size_t ticket, const std::string& step);

private:
    friend class OrderFlow;

    mutable std::mutex mutex_;
    OrderScript script_;
    std::map<std::string, OrderScript> codeScripts_;
    std::vector<OrderTicket> tickets_;
    int nextContract_ = 1001;
    std::function<void(const OrderTicket&)> placedListener_;
    HWND passwordDialog_ = nullptr;
    bool running_ = false;  // a flow is under way; clicks meanwhile are queued
    // Clicks that came while a flow ran: their tickets and scripts, oldest first.
    std::deque<std::pair<size_t, OrderScript>> queued_;
};

}  // namespace substitute
