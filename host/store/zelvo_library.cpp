#include "store/zelvo_library.h"

#include "gbk_text.h"
#include "zelvo_answers.h"

namespace zelvo_host {

namespace {

[[nodiscard]] LARGE_INTEGER now()
{
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return counter;
}

// The buffer's text up to its terminating zero, as UTF-8.
[[nodiscard]] std::string textOf(const std::vector<char>& buffer)
{
    return zelvo_common::gbkToUtf8(std::string_view(buffer.data()));
}

}  // namespace

bool ZelvoLibrary::load(const std::wstring& path)
{
    zelvo_ = zelvo_common::loadZelvo(path);
    if (!zelvo_.ok()) {
        return false;
    }
    message_.assign(zelvo_common::textBufferBytes, '\0');
    return true;
}

char* ZelvoLibrary::message()
{
    message_[0] = '\0';
    return message_.data();
}

void ZelvoLibrary::addElapsed(LARGE_INTEGER start)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    exportMillis_ += 1000.0 * static_cast<double>(now().QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

TextAnswer ZelvoLibrary::login(const std::string& gbkPassword)
{
    const LARGE_INTEGER start = now();
    // The library returns a one-byte bool: only the low byte is meaningful.
    const bool attached = zelvo_.exports.login(gbkPassword.c_str(), message());
    addElapsed(start);
    return {attached, textOf(message_)};
}

void ZelvoLibrary::logout()
{
    const LARGE_INTEGER start = now();
    zelvo_.exports.logout();
    addElapsed(start);
}

std::string ZelvoLibrary::getText(zelvo_common::ZelvoExports::TextGetter getter)
{
    const LARGE_INTEGER start = now();
    getter(message());
    addElapsed(start);
    return textOf(message_);
}

std::string ZelvoLibrary::title()
{
    return getText(zelvo_.exports.getWndText);
}

std::string ZelvoLibrary::broker()
{
    return getText(zelvo_.exports.getBroker);
}

std::string ZelvoLibrary::account()
{
    return getText(zelvo_.exports.getAccount);
}

QueryAnswer ZelvoLibrary::query(int kind)
{
    if (result_.empty()) {
        result_.assign(zelvo_common::queryResultBufferBytes, '\0');
    }
    result_[0] = '\0';
    const LARGE_INTEGER start = now();
    zelvo_.exports.queryData(kind, result_.data(), message());
    addElapsed(start);
    return {textOf(result_), textOf(message_)};
}

OrderAnswer ZelvoLibrary::sendOrder(int kind, const std::string& gbkCode, double price, int quantity)
{
    const LARGE_INTEGER start = now();
    const int contract = zelvo_.exports.sendOrder(kind, gbkCode.c_str(), price, quantity, message());
    addElapsed(start);
    return {contract, textOf(message_), contract < 0 && zelvo::answers::orderOutcomeUnknown(message_.data())};
}

TextAnswer ZelvoLibrary::cancelOrder(int orderNo)
{
    const LARGE_INTEGER start = now();
    const bool accepted = zelvo_.exports.cancelOrder(orderNo, message());
    addElapsed(start);
    return {accepted, textOf(message_)};
}

}  // namespace zelvo_host
