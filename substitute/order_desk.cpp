#include "order_desk.h"

#include "texts.h"

namespace substitute {

void OrderDesk::setPlacedListener(std::function<void(const OrderTicket&)> listener)
{
    std::lock_guard<std::mutex> guard(mutex_);
    placedListener_ = std::move(listener);
}

void OrderDesk::setScript(OrderScript script)
{
    std::lock_guard<std::mutex> guard(mutex_);
    script_ = std::move(script);
}

void OrderDesk::setScriptFor(const std::string& code, OrderScript script)
{
    std::lock_guard<std::mutex> guard(mutex_);
    codeScripts_[code] = std::move(script);
}

void OrderDesk::numberFrom(int contract)
{
    std::lock_guard<std::mutex> guard(mutex_);
    nextContract_ = contract;
}

OrderScript OrderDesk::script() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return script_;
}

void OrderDesk::recordStep(size_t ticket, const std::string& step)
{
    std::lock_guard<std::mutex> guard(mutex_);
    tickets_[ticket].steps.push_back(step);
}

std::vector<OrderTicket> OrderDesk::tickets() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return tickets_;
}

bool OrderDesk::typePassword(const std::string& password, DWORD waitMs) const
{
    const ULONGLONG end = GetTickCount64() + waitMs;
    HWND dialog = nullptr;
    for (;;) {
        {
            std::lock_guard<std::mutex> guard(mutex_);
            dialog = passwordDialog_;
        }
        if (dialog != nullptr) {
            break;
        }
        if (GetTickCount64() >= end) {
            return false;
        }
        Sleep(5);
    }
    // What a person's typing and click amount to: the edit's text, then the
    // button's click reported to the dialog.
    SendMessageA(GetDlgItem(dialog, ids::passwordEdit), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(password.c_str()));
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(ids::passwordOk, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, ids::passwordOk)));
    return true;
}

}  // namespace substitute
