#include "zelvo_library.h"

#include <stdexcept>

namespace {

constexpr size_t messageCapacity = 64 * 1024;
constexpr size_t resultCapacity = 16 * 1024 * 1024;

template <class Function>
Function bind(HMODULE module, const char* name)
{
    FARPROC address = GetProcAddress(module, name);
    if (address == nullptr) {
        throw std::runtime_error(std::string("export missing: ") + name);
    }
    return reinterpret_cast<Function>(reinterpret_cast<void*>(address));
}

}  // namespace

std::string programFolder()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    return folder.substr(0, folder.find_last_of("\\/") + 1);
}

ZelvoLibrary::ZelvoLibrary() : message_(messageCapacity), result_(resultCapacity)
{
    module_ = LoadLibraryA((programFolder() + "zelvo.dll").c_str());
    if (module_ == nullptr) {
        throw std::runtime_error("zelvo.dll did not load");
    }
    Login = bind<LoginFn>(module_, "Zelvo_Login");
    Logout = bind<LogoutFn>(module_, "Zelvo_Logout");
    GetWndText = bind<TextFn>(module_, "Zelvo_GetWndText");
    GetBroker = bind<TextFn>(module_, "Zelvo_GetBroker");
    GetAccount = bind<TextFn>(module_, "Zelvo_GetAccount");
    QueryData = bind<QueryFn>(module_, "Zelvo_QueryData");
    SendOrder = bind<OrderFn>(module_, "Zelvo_SendOrder");
    CancelOrder = bind<CancelFn>(module_, "Zelvo_CancelOrder");
}

ZelvoLibrary::~ZelvoLibrary()
{
    FreeLibrary(module_);
}

FARPROC ZelvoLibrary::raw(const char* name) const
{
    return GetProcAddress(module_, name);
}

LoginAnswer ZelvoLibrary::login(const char* password)
{
    message_[0] = '\x7f';
    const bool attached = Login(password, message_.data());
    return {attached, message_.data()};
}

void ZelvoLibrary::logout()
{
    Logout();
}

std::string ZelvoLibrary::readText(TextFn function)
{
    message_[0] = '\x7f';
    function(message_.data());
    return message_.data();
}

std::string ZelvoLibrary::title()
{
    return readText(GetWndText);
}

std::string ZelvoLibrary::broker()
{
    return readText(GetBroker);
}

std::string ZelvoLibrary::account()
{
    return readText(GetAccount);
}

QueryAnswer ZelvoLibrary::query(int kind)
{
    message_[0] = '\x7f';
    result_[0] = '\x7f';
    QueryData(kind, result_.data(), message_.data());
    return {result_.data(), message_.data()};
}

OrderAnswer ZelvoLibrary::order(int kind, const char* code, double price, int quantity)
{
    message_[0] = '\x7f';
    const int contract = SendOrder(kind, code, price, quantity, message_.data());
    return {contract, message_.data()};
}

CancelAnswer ZelvoLibrary::cancel(int orderNo)
{
    message_[0] = '\x7f';
    const bool accepted = CancelOrder(orderNo, message_.data());
    return {accepted, message_.data()};
}
