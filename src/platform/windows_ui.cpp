#include "platform/windows_ui.h"

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <type_traits>
#include <unordered_set>
#include <vector>

#include "platform/module_pin.h"

namespace zelvo {

namespace {

// Reads the text into a zeroed buffer of `capacity` bytes; its length as
// the window gives it, or none when the thread did not answer.
std::optional<LRESULT> readText(MessageChannel& channel, HWND window, MessageBuffer& buffer)
{
    const std::optional<LRESULT> read =
        channel.send(window, WM_GETTEXT, static_cast<WPARAM>(buffer.size()), buffer.address(), {&buffer});
    if (read) {
        buffer.bytes()[buffer.size() - 1] = '\0';
    }
    return read;
}

}  // namespace

std::string windowText(MessageChannel& channel, HWND window)
{
    if (window == nullptr) {
        return {};
    }
    // Another thread's window answers each message with a round trip: one
    // read into a buffer that holds any usual text, and the length asked for
    // only when the text may not have fitted.
    MessageBuffer first(512);
    const std::optional<LRESULT> read = readText(channel, window, first);
    if (!read) {
        return {};
    }
    if (*read < static_cast<LRESULT>(first.size()) - 2) {
        return first.bytes();
    }
    const std::optional<LRESULT> length = channel.send(window, WM_GETTEXTLENGTH, 0, 0);
    if (!length) {
        return {};
    }
    // Two spare bytes: some controls (Wine's combo box) count the terminator
    // into the buffer size differently.
    MessageBuffer whole(static_cast<size_t>(std::max<LRESULT>(*length, 0)) + 2);
    return readText(channel, window, whole) ? std::string(whole.bytes()) : std::string();
}

std::string shortWindowText(MessageChannel& channel, HWND window)
{
    MessageBuffer buffer(256);
    return readText(channel, window, buffer) ? std::string(buffer.bytes()) : std::string();
}

bool setWindowText(MessageChannel& channel, HWND window, const std::string& text)
{
    MessageBuffer copy(text.size() + 1);
    text.copy(copy.bytes(), text.size());
    return channel.send(window, WM_SETTEXT, 0, copy.address(), {&copy}).has_value();
}

bool clearWindowText(MessageChannel& channel, HWND window)
{
    static const char empty[] = "";
    pinModule();
    return channel.send(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(empty)).has_value();
}

std::string className(HWND window)
{
    char buffer[256] = {};
    GetClassNameA(window, buffer, sizeof buffer);
    buffer[sizeof buffer - 1] = '\0';
    return buffer;
}

namespace {

// The child windows below one window, each parent's children in z-order,
// taken with one enumeration. Asking for them one by one (GetDlgItem,
// GetTopWindow, GetWindow) costs the window server three requests per
// window visited; the enumeration costs about one.
using ChildLists = std::map<HWND, std::vector<HWND>>;

BOOL CALLBACK addToChildLists(HWND window, LPARAM lists) noexcept
{
    try {
        (*reinterpret_cast<ChildLists*>(lists))[GetAncestor(window, GA_PARENT)].push_back(window);
        return TRUE;
    } catch (...) {
        return FALSE;  // out of memory: the search sees part of the tree
    }
}

ChildLists childListsBelow(HWND root)
{
    ChildLists lists;
    EnumChildWindows(root, addToChildLists, reinterpret_cast<LPARAM>(&lists));
    return lists;
}

const std::vector<HWND>& childrenOf(const ChildLists& lists, HWND parent)
{
    static const std::vector<HWND> none;
    const auto found = lists.find(parent);
    return found == lists.end() ? none : found->second;
}

// The search order of findDescendantById, on the enumerated tree.
HWND searchBelow(const ChildLists& lists, HWND parent, int id)
{
    const std::vector<HWND>& children = childrenOf(lists, parent);
    for (HWND child : children) {
        if (GetDlgCtrlID(child) == id) {
            const HWND nested = searchBelow(lists, child, id);
            return nested != nullptr ? nested : child;
        }
    }
    for (HWND child : children) {
        if (HWND found = searchBelow(lists, child, id)) {
            return found;
        }
    }
    return nullptr;
}

}  // namespace

HWND findDescendantById(HWND parent, int id)
{
    if (parent == nullptr) {
        return nullptr;
    }
    // The common case, a direct child without children, costs two requests.
    const HWND child = GetDlgItem(parent, id);
    if (child != nullptr && GetTopWindow(child) == nullptr) {
        return child;
    }
    const HWND root = child != nullptr ? child : parent;
    const HWND found = searchBelow(childListsBelow(root), root, id);
    return found != nullptr ? found : child;
}

HWND findChildByClass(HWND parent, const char* windowClass)
{
    return parent == nullptr ? nullptr : FindWindowExA(parent, nullptr, windowClass, nullptr);
}

namespace {

bool isOwnedBy(HWND window, HWND owner)
{
    // Owner chains are short; the bound only guards against a cycle.
    HWND current = GetWindow(window, GW_OWNER);
    for (int depth = 0; current != nullptr && depth < 64; ++depth) {
        if (current == owner) {
            return true;
        }
        current = GetWindow(current, GW_OWNER);
    }
    return false;
}

// Top-level windows found to be another program's. Under Wine every
// question about another program's window is a request to the window server
// (about 30 us), and a desktop has dozens: a poll every millisecond asks
// about each such window once, then passes over it. The memory is dropped
// every few seconds, so that a handle given to a new window of the client is
// looked at again.
class ForeignWindows {
public:
    [[nodiscard]] bool contains(HWND window)
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        forgetWhenOld();
        return windows_.count(window) != 0;
    }

    void add(HWND window)
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (windows_.size() < maxWindows) {
            windows_.insert(window);
        }
    }

private:
    void forgetWhenOld()
    {
        const ULONGLONG now = GetTickCount64();
        if (now - since_ >= keptMs) {
            windows_.clear();
            since_ = now;
        }
    }

    static constexpr ULONGLONG keptMs = 5000;
    static constexpr std::size_t maxWindows = 4096;
    std::mutex mutex_;
    std::unordered_set<HWND> windows_;
    ULONGLONG since_ = 0;
};

ForeignWindows& foreignWindows()
{
    static ForeignWindows windows;
    return windows;
}

struct PopupSearch {
    HWND owner;
    DWORD process;
    HWND found;
};

BOOL CALLBACK takeFirstPopup(HWND window, LPARAM parameter) noexcept
{
    auto& search = *reinterpret_cast<PopupSearch*>(parameter);
    try {
        if (window == search.owner || foreignWindows().contains(window)) {
            return TRUE;
        }
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        if (process != search.process) {
            foreignWindows().add(window);
            return TRUE;
        }
    } catch (...) {
        return TRUE;  // out of memory: the window is looked at again next time
    }
    if (IsWindowVisible(window) && IsWindowEnabled(window) && isOwnedBy(window, search.owner)) {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

HWND enabledPopup(HWND owner)
{
    if (owner == nullptr || !IsWindow(owner)) {
        return nullptr;
    }
    // The top-level windows come in z-order, topmost first, from one request
    // to the window manager: the first match is the pop-up the user would see
    // in front. Every thread of the owner's process counts, since a client
    // may show its answers from a thread other than its main frame's (a
    // network thread); windows of other processes are never the owner's.
    PopupSearch search{owner, 0, nullptr};
    GetWindowThreadProcessId(owner, &search.process);
    EnumWindows(takeFirstPopup, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string comboSelectionText(MessageChannel& channel, HWND comboBox)
{
    if (comboBox == nullptr) {
        return {};
    }
    const std::optional<LRESULT> index = channel.send(comboBox, CB_GETCURSEL, 0, 0);
    if (!index || *index == CB_ERR) {
        return {};
    }
    const std::optional<LRESULT> length = channel.send(comboBox, CB_GETLBTEXTLEN, static_cast<WPARAM>(*index), 0);
    if (!length || *length == CB_ERR || *length < 0) {
        return {};
    }
    MessageBuffer buffer(static_cast<size_t>(*length) + 2);
    if (!channel.send(comboBox, CB_GETLBTEXT, static_cast<WPARAM>(*index), buffer.address(), {&buffer})) {
        return {};
    }
    buffer.bytes()[buffer.size() - 1] = '\0';
    return buffer.bytes();
}

namespace {

WPARAM clickOf(HWND button)
{
    return MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED);
}

LONG shiftInside(LONG low, LONG high, LONG deskLow, LONG deskHigh)
{
    LONG shift = 0;
    if (low < deskLow) {
        shift = deskLow - low;
    }
    if (high + shift > deskHigh) {
        shift = deskHigh - high;  // the second shift wins for an oversized window
    }
    return shift;
}

}  // namespace

bool sendButtonClick(MessageChannel& channel, HWND button)
{
    if (button == nullptr) {
        return true;
    }
    return channel.send(GetParent(button), WM_COMMAND, clickOf(button), reinterpret_cast<LPARAM>(button)).has_value();
}

bool postButtonClick(MessageChannel& channel, HWND button)
{
    return button != nullptr &&
           channel.post(GetParent(button), WM_COMMAND, clickOf(button), reinterpret_cast<LPARAM>(button));
}

int windowDpi(HWND window)
{
    // GetDpiForWindow exists from Windows 10 1607; before it a program saw
    // the system's DPI, which the screen's device context tells.
    using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    if (getDpiForWindow != nullptr) {
        const UINT dpi = getDpiForWindow(window);
        return dpi == 0 ? 96 : static_cast<int>(dpi);
    }
    struct ReleaseScreenDc {
        void operator()(HDC dc) const noexcept { ReleaseDC(nullptr, dc); }
    };
    const std::unique_ptr<std::remove_pointer_t<HDC>, ReleaseScreenDc> screen(GetDC(nullptr));
    const int dpi = screen ? GetDeviceCaps(screen.get(), LOGPIXELSX) : 96;
    return dpi > 0 ? dpi : 96;
}

void postClick(MessageChannel& channel, HWND window, POINT point)
{
    const LPARAM position = MAKELPARAM(point.x, point.y);
    channel.post(window, WM_LBUTTONDOWN, MK_LBUTTON, position);
    channel.post(window, WM_LBUTTONUP, 0, position);
}

// ShowWindow and MoveWindow on another thread's window wait, unbounded, for
// that thread to do it. Their asynchronous forms queue the request among the
// messages sent to the thread, so a bounded message sent after it returns
// once the thread has done it.
bool showWindow(MessageChannel& channel, HWND window, int command)
{
    if (channel.lost()) {
        return false;
    }
    ShowWindowAsync(window, command);
    return channel.sync(window);
}

bool placeInsideDesktop(MessageChannel& channel, HWND window)
{
    RECT desktop = {};
    RECT box = {};
    GetWindowRect(GetDesktopWindow(), &desktop);
    GetWindowRect(window, &box);
    const LONG dx = shiftInside(box.left, box.right, desktop.left, desktop.right);
    const LONG dy = shiftInside(box.top, box.bottom, desktop.top, desktop.bottom);
    if (channel.lost()) {
        return false;
    }
    SetWindowPos(window, nullptr, box.left + dx, box.top + dy, box.right - box.left, box.bottom - box.top,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
    return channel.sync(window);
}

void pumpOneMessage()
{
    MSG message;
    if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

}  // namespace zelvo
