// The eight exports. Each is a thin frame around one worker: copy the
// caller's strings, run the worker, copy its texts out with their terminating
// zero. No exception ever leaves an export: the host is the user's trading
// client, and an unwinding exception would take it down.
#include <cstring>
#include <string>

#include "zelvo.h"

#include "attach/attach.h"
#include "orders/cancel_order.h"
#include "orders/send_order.h"
#include "queries/query_data.h"
#include "session/status.h"

namespace {

std::string textArgument(const char* text)
{
    return text == nullptr ? std::string() : std::string(text);
}

// The caller sizes the buffer; the whole text and its zero are copied.
void copyOut(char* buffer, const std::string& text) noexcept
{
    if (buffer != nullptr) {
        std::memcpy(buffer, text.c_str(), text.size() + 1);
    }
}

// Runs a worker; on any exception the outputs get empty text and the export
// answers `failure`.
template <class Result, class Worker>
Result guarded(Result failure, std::initializer_list<char*> outputs, Worker&& worker) noexcept
{
    try {
        return worker();
    } catch (...) {
        for (char* buffer : outputs) {
            copyOut(buffer, std::string());
        }
        return failure;
    }
}

template <class Worker>
void guardedVoid(std::initializer_list<char*> outputs, Worker&& worker) noexcept
{
    guarded(0, outputs, [&] {
        worker();
        return 0;
    });
}

}  // namespace

extern "C" {

ZELVO_API bool __stdcall Zelvo_Login(const char* password, char* message)
{
    return guarded(false, {message}, [&] {
        std::string text;
        const bool attached = zelvo::attachClient(textArgument(password), text);
        copyOut(message, text);
        return attached;
    });
}

ZELVO_API void __stdcall Zelvo_Logout(void)
{
    guardedVoid({}, [] { zelvo::logout(); });
}

ZELVO_API void __stdcall Zelvo_GetWndText(char* text)
{
    guardedVoid({text}, [&] { copyOut(text, zelvo::mainWindowTitle()); });
}

ZELVO_API void __stdcall Zelvo_GetBroker(char* text)
{
    guardedVoid({text}, [&] { copyOut(text, zelvo::brokerName()); });
}

ZELVO_API void __stdcall Zelvo_GetAccount(char* text)
{
    guardedVoid({text}, [&] { copyOut(text, zelvo::selectedAccount()); });
}

ZELVO_API void __stdcall Zelvo_QueryData(int kind, char* result, char* message)
{
    guardedVoid({result, message}, [&] {
        std::string text;
        const std::string table = zelvo::queryData(kind, text);
        copyOut(result, table);
        copyOut(message, text);
    });
}

ZELVO_API int __stdcall Zelvo_SendOrder(int kind, const char* code, double price, int quantity, char* message)
{
    return guarded(-1, {message}, [&] {
        std::string text;
        const int contract = zelvo::sendOrder(kind, textArgument(code), price, quantity, text);
        copyOut(message, text);
        return contract;
    });
}

ZELVO_API bool __stdcall Zelvo_CancelOrder(int orderNo, char* message)
{
    return guarded(false, {message}, [&] {
        std::string text;
        const bool accepted = zelvo::cancelOrder(orderNo, text);
        copyOut(message, text);
        return accepted;
    });
}

}  // extern "C"
