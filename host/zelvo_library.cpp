#include "zelvo_library.h"

#include "gbk_text.h"
#include "zelvo_answers.h"

namespace zelvo_host {

namespace {

constexpr size_t resultBufferSize = 16u << 20;
constexpr size_t textBufferSize = 64u << 10;

template <class Function>
[[nodiscard]] bool findExport(HMODULE module, const char* name, Function& out)
{
    out = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return out != nullptr;
}

[[nodiscard]] LARGE_INTEGER now()
{
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return counter;
}

// The buffer's text up to its terminating zero, as UTF-8.
[[nodiscard]] std::string textOf(const std::vector<char>& buffer)
{
    return gbkToUtf8(std::string_view(buffer.data()));
}

}  // namespace

ZelvoLibrary::~ZelvoLibrary()
{
    if (module_ != nullptr) {
        FreeLibrary(module_);
    }
}

bool ZelvoLibrary::load(const std::wstring& path)
{
    module_ = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (module_ == nullptr) {
        return false;
    }
    ZelvoExports& e = exports_;
    const bool found = findExport(module_, "Zelvo_Login", e.login) && findExport(module_, "Zelvo_Logout", e.logout) &&
                       findExport(module_, "Zelvo_GetWndText", e.getWndText) &&
                       findExport(module_, "Zelvo_GetBroker", e.getBroker) &&
                       findExport(module_, "Zelvo_GetAccount", e.getAccount) &&
                       findExport(module_, "Zelvo_QueryData", e.queryData) &&
                       findExport(module_, "Zelvo_SendOrder", e.sendOrder) &&
                       findExport(module_, "Zelvo_CancelOrder", e.cancelOrder);
    message_.assign(textBufferSize, '\0');
    return found;
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
    const bool attached = exports_.login(gbkPassword.c_str(), message());
    addElapsed(start);
    return {attached, textOf(message_)};
}

void ZelvoLibrary::logout()
{
    const LARGE_INTEGER start = now();
    exports_.logout();
    addElapsed(start);
}

std::string ZelvoLibrary::getText(ZelvoExports::TextGetter getter)
{
    const LARGE_INTEGER start = now();
    getter(message());
    addElapsed(start);
    return textOf(message_);
}

std::string ZelvoLibrary::title()
{
    return getText(exports_.getWndText);
}

std::string ZelvoLibrary::broker()
{
    return getText(exports_.getBroker);
}

std::string ZelvoLibrary::account()
{
    return getText(exports_.getAccount);
}

QueryAnswer ZelvoLibrary::query(int kind)
{
    if (result_.empty()) {
        result_.assign(resultBufferSize, '\0');
    }
    result_[0] = '\0';
    const LARGE_INTEGER start = now();
    exports_.queryData(kind, result_.data(), message());
    addElapsed(start);
    return {textOf(result_), textOf(message_)};
}

OrderAnswer ZelvoLibrary::sendOrder(int kind, const std::string& gbkCode, double price, int quantity)
{
    const LARGE_INTEGER start = now();
    const int contract = exports_.sendOrder(kind, gbkCode.c_str(), price, quantity, message());
    addElapsed(start);
    return {contract, textOf(message_), contract < 0 && zelvo::answers::orderOutcomeUnknown(message_.data())};
}

TextAnswer ZelvoLibrary::cancelOrder(int orderNo)
{
    const LARGE_INTEGER start = now();
    const bool accepted = exports_.cancelOrder(orderNo, message());
    addElapsed(start);
    return {accepted, textOf(message_)};
}

}  // namespace zelvo_host
