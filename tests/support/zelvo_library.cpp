#include "zelvo_library.h"

#include <atomic>
#include <stdexcept>

#include "gbk_text.h"
#include "module_folder.h"

std::string programFolder()
{
    return zelvo_common::wideToAnsiForDisplay(zelvo_common::moduleFolder(nullptr));
}

namespace {

// zelvo.dll stays loaded for good once it has put a procedure in front of a
// client's list or handed the client memory of its own, so a second load of
// the same file would find the first test's session. Each ZelvoLibrary loads
// a copy of its own instead: of zelvo-under-test.dll, the build's zelvo.dll
// without its debug information, which keeps the copies small. Copies left
// by earlier runs are deleted by the first load of a run (those still loaded
// by another test program stay).
std::wstring copiesFolder()
{
    return zelvo_common::moduleFolder(nullptr) + L"zelvo-copies\\";
}

void deleteEarlierCopies()
{
    WIN32_FIND_DATAW found = {};
    const HANDLE search = FindFirstFileW((copiesFolder() + L"*.dll").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        DeleteFileW((copiesFolder() + found.cFileName).c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

std::wstring freshCopyOfZelvo()
{
    static std::atomic<unsigned> copies{0};
    if (copies == 0) {
        CreateDirectoryW(copiesFolder().c_str(), nullptr);
        deleteEarlierCopies();
    }
    const std::wstring copy = copiesFolder() + L"zelvo-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(++copies) + L".dll";
    const std::wstring original = zelvo_common::moduleFolder(nullptr) + L"zelvo-under-test.dll";
    if (!CopyFileW(original.c_str(), copy.c_str(), FALSE)) {
        throw std::runtime_error("zelvo-under-test.dll could not be copied (error " + std::to_string(GetLastError()) +
                                 ")");
    }
    return copy;
}

}  // namespace

ZelvoLibrary::ZelvoLibrary()
    : zelvo_(zelvo_common::loadZelvo(freshCopyOfZelvo())),
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
