#include "dialogs.h"

#include <commctrl.h>

#include <cstring>
#include <map>
#include <vector>

namespace substitute {

namespace {

constexpr UINT gbk = 936;

thread_local WindowMaking making;

// DLGTEMPLATE followed by empty menu, class and title words.
std::vector<WORD> emptyTemplate(DWORD style)
{
    std::vector<WORD> words(sizeof(DLGTEMPLATE) / sizeof(WORD) + 3, 0);
    auto* header = reinterpret_cast<DLGTEMPLATE*>(words.data());
    header->style = style;
    header->cdit = 0;
    header->cx = 200;
    header->cy = 100;
    return words;
}

// The controls a class framework attaches to objects of its own: a procedure
// of the client's goes in front of the system's the moment the control is
// made. The procedures behind them, by control; only the control's own
// thread runs its procedure, so each thread keeps its own.
thread_local std::map<HWND, WNDPROC> frameworkNext;

template <bool Wide>
LRESULT CALLBACK frameworkProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    const auto found = frameworkNext.find(window);
    if (found == frameworkNext.end()) {
        return Wide ? DefWindowProcW(window, message, wParam, lParam) : DefWindowProcA(window, message, wParam, lParam);
    }
    const WNDPROC next = found->second;
    if (message == WM_NCDESTROY) {
        frameworkNext.erase(found);
    }
    return Wide ? CallWindowProcW(next, window, message, wParam, lParam)
                : CallWindowProcA(next, window, message, wParam, lParam);
}

bool frameworkAttaches(const char* windowClass)
{
    for (const char* name : {"Edit", "ComboBox", WC_LISTVIEWA, WC_TREEVIEWA}) {
        if (std::strcmp(windowClass, name) == 0) {
            return true;
        }
    }
    return false;
}

void attachFramework(HWND control)
{
    const auto proc = making.unicode ? reinterpret_cast<LONG_PTR>(&frameworkProc<true>)
                                     : reinterpret_cast<LONG_PTR>(&frameworkProc<false>);
    frameworkNext[control] = reinterpret_cast<WNDPROC>(making.unicode ? SetWindowLongPtrW(control, GWLP_WNDPROC, proc)
                                                                      : SetWindowLongPtrA(control, GWLP_WNDPROC, proc));
}

}  // namespace

void setWindowMaking(const WindowMaking& value)
{
    making = value;
}

const WindowMaking& windowMaking()
{
    return making;
}

std::wstring wideText(const std::string& text)
{
    const int length = MultiByteToWideChar(gbk, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(gbk, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

std::string gbkText(const std::wstring& wide)
{
    const int length =
        WideCharToMultiByte(gbk, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(gbk, 0, wide.data(), static_cast<int>(wide.size()), text.data(), length, nullptr, nullptr);
    return text;
}

HWND createDialog(HWND owner, DWORD style, DLGPROC proc, LPARAM param)
{
    std::vector<WORD> words = emptyTemplate(style);
    const auto* layout = reinterpret_cast<DLGTEMPLATE*>(words.data());
    return making.unicode ? CreateDialogIndirectParamW(GetModuleHandleW(nullptr), layout, owner, proc, param)
                          : CreateDialogIndirectParamA(GetModuleHandleA(nullptr), layout, owner, proc, param);
}

INT_PTR runModalDialog(HWND owner, DLGPROC proc, LPARAM param)
{
    std::vector<WORD> words =
        emptyTemplate(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_VISIBLE);
    const auto* layout = reinterpret_cast<DLGTEMPLATE*>(words.data());
    return making.unicode ? DialogBoxIndirectParamW(GetModuleHandleW(nullptr), layout, owner, proc, param)
                          : DialogBoxIndirectParamA(GetModuleHandleA(nullptr), layout, owner, proc, param);
}

HWND addControl(HWND parent, const char* windowClass, const std::string& text, DWORD style, int id,
                int x, int y, int width, int height)
{
    const auto menu = reinterpret_cast<HMENU>(static_cast<INT_PTR>(id));
    const HWND control =
        making.unicode
            ? CreateWindowExW(0, wideText(windowClass).c_str(), wideText(text).c_str(), WS_CHILD | style, x, y, width,
                              height, parent, menu, GetModuleHandleW(nullptr), nullptr)
            : CreateWindowExA(0, windowClass, text.c_str(), WS_CHILD | style, x, y, width, height, parent, menu,
                              GetModuleHandleA(nullptr), nullptr);
    if (control != nullptr && making.subclassed && frameworkAttaches(windowClass)) {
        attachFramework(control);
    }
    return control;
}

HWND createOwnWindow(const char* windowClass, const std::string& text, DWORD style, int x, int y, int width,
                     int height, HWND parent, int id, WNDPROC wideProc)
{
    const auto menu = parent == nullptr ? nullptr : reinterpret_cast<HMENU>(static_cast<INT_PTR>(id));
    const HWND window = CreateWindowExA(0, windowClass, text.c_str(), style | (parent == nullptr ? 0 : WS_CHILD), x, y,
                                        width, height, parent, menu, GetModuleHandleA(nullptr), nullptr);
    if (window != nullptr && making.unicode) {
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(wideProc));
    }
    return window;
}

}  // namespace substitute
