#include "zelvo_library.h"

#include <stdexcept>

#include "gbk_text.h"
#include "module_folder.h"

std::string programFolder()
{
    return zelvo_common::wideToAnsiForDisplay(zelvo_common::moduleFolder(nullptr));
}

ZelvoLibrary::ZelvoLibrary()
    : zelvo_(zelvo_common::loadZelvo(zelvo_common::moduleFolder(nullptr) + L"zelvo.dll")),
      message_(zelvo_common::textBufferBytes), result_(zelvo_common::queryResultBufferBytes)
{
    if (!zelvo_.module) {
        throw std::runtime_error("zelvo.dll did not load (error " + std::to_string(zelvo_.loadError) + ")");
    }
    if (zelvo_.missingExport != nullptr) {
        throw std::runtime_error(std::string("export missing: ") + zelvo_.missingExport);
    }
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

std::string ZelvoLibrary::readText(Exports::TextGetter function)
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
