#include "store/zelvo_library.h"

#include "gbk_text.h"
#include "rules/client_watch.h"
#include "zelvo_answers.h"

namespace zelvo_host {

namespace {

// The performance counter, which times the calls into the exports.
[[nodiscard]] LARGE_INTEGER performanceCount()
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

bool ZelvoDll::load(const std::wstring& path)
{
    zelvo_ = zelvo_common::loadZelvo(path);
    if (!zelvo_.ok()) {
        return false;
    }
    message_.assign(zelvo_common::textBufferBytes, '\0');
    return true;
}

char* ZelvoDll::message()
{
    message_[0] = '\0';
    return message_.data();
}

void ZelvoDll::addElapsed(LARGE_INTEGER start)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    exportMillis_ += 1000.0 * static_cast<double>(performanceCount().QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

TextAnswer ZelvoDll::login(const std::string& gbkPassword)
{
    const LARGE_INTEGER start = performanceCount();
    // The library returns a one-byte bool: only the low byte is meaningful.
    const bool attached = zelvo_.exports.login(gbkPassword.c_str(), message());
    addElapsed(start);
    return {attached, textOf(message_), clientStateOf(attached, message_.data())};
}

void ZelvoDll::logout()
{
    const LARGE_INTEGER start = performanceCount();
    zelvo_.exports.logout();
    addElapsed(start);
}

std::string ZelvoDll::getText(zelvo_common::ZelvoExports::TextGetter getter)
{
    const LARGE_INTEGER start = performanceCount();
    getter(message());
    addElapsed(start);
    return textOf(message_);
}

std::string ZelvoDll::title()
{
    return getText(zelvo_.exports.getWndText);
}

std::string ZelvoDll::broker()
{
    return getText(zelvo_.exports.getBroker);
}

std::string ZelvoDll::account()
{
    return getText(zelvo_.exports.getAccount);
}

QueryAnswer ZelvoDll::query(int kind)
{
    if (result_.empty()) {
        result_.assign(zelvo_common::queryResultBufferBytes, '\0');
    }
    result_[0] = '\0';
    const LARGE_INTEGER start = performanceCount();
    zelvo_.exports.queryData(kind, result_.data(), message());
    addElapsed(start);
    return {textOf(result_), textOf(message_), clientStateOf(result_[0] != '\0', message_.data())};
}

OrderAnswer ZelvoDll::sendOrder(int kind, const std::string& gbkCode, double price, int quantity)
{
    const LARGE_INTEGER start = performanceCount();
    const int contract = zelvo_.exports.sendOrder(kind, gbkCode.c_str(), price, quantity, message());
    addElapsed(start);
    return {contract, textOf(message_), contract < 0 && zelvo::answers::orderOutcomeUnknown(message_.data())};
}

TextAnswer ZelvoDll::cancelOrder(int orderNo)
{
    const LARGE_INTEGER start = performanceCount();
    const bool accepted = zelvo_.exports.cancelOrder(orderNo, message());
    addElapsed(start);
    return {accepted, textOf(message_), clientStateOf(accepted, message_.data())};
}

}  // namespace zelvo_host
