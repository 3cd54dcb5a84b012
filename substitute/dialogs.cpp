#include "dialogs.h"

#include <vector>

namespace substitute {

namespace {

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

}  // namespace

HWND createDialog(HWND owner, DWORD style, DLGPROC proc, LPARAM param)
{
    std::vector<WORD> words = emptyTemplate(style);
    return CreateDialogIndirectParamA(GetModuleHandleA(nullptr), reinterpret_cast<DLGTEMPLATE*>(words.data()),
                                      owner, proc, param);
}

INT_PTR runModalDialog(HWND owner, DLGPROC proc, LPARAM param)
{
    std::vector<WORD> words =
        emptyTemplate(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_VISIBLE);
    return DialogBoxIndirectParamA(GetModuleHandleA(nullptr), reinterpret_cast<DLGTEMPLATE*>(words.data()),
                                   owner, proc, param);
}

HWND addControl(HWND parent, const char* windowClass, const std::string& text, DWORD style, int id,
                int x, int y, int width, int height)
{
    return CreateWindowExA(0, windowClass, text.c_str(), WS_CHILD | style, x, y, width, height, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
}

}  // namespace substitute
