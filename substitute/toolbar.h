// The client's main toolbar: a window of class "MHPToolBar" titled
// "MainViewBar" whose buttons are no windows. They can only be reached through
// the accessible object the toolbar hands out for OBJID_WINDOW: a tree of
// named buttons and button groups that records every press.
#pragma once
#include <windows.h>
#include <oleacc.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace substitute {

// A button, or a group of buttons when it has children. Groups are full
// accessible objects of their own; plain buttons are simple elements of
// their group.
struct ToolbarButton {
    std::string name;  // GBK
    long role = ROLE_SYSTEM_PUSHBUTTON;
    bool enabled = true;
    long extraState = 0;  // state bits shown besides STATE_SYSTEM_UNAVAILABLE
    std::vector<ToolbarButton> children;
};

[[nodiscard]] ToolbarButton toolbarButton(std::string name, bool enabled = true);
[[nodiscard]] ToolbarButton toolbarGroup(std::string name, std::vector<ToolbarButton> children, bool enabled = true);

struct ToolbarOptions {
    // Whether the toolbar and its groups also list their children through
    // IEnumVARIANT; without it they are only reachable by child id.
    bool enumerator = true;
    // Whether states are given as text ("unavailable" or "normal") instead of
    // state bits.
    bool statesAsText = false;
    // The UI thread stops answering this long inside the first call that asks
    // an object for its child count, as a client does during a long repaint.
    DWORD stallInFirstChildCountMs = 0;
};

// What the toolbar saw: the names of the pressed buttons in order, and how
// many of its accessible objects are alive. Written on the client's UI
// thread, read by the tests.
class ToolbarLog {
public:
    void recordPress(const std::string& name);
    [[nodiscard]] std::vector<std::string> presses() const;

    void objectCreated() noexcept { ++liveObjects_; }
    void objectDestroyed() noexcept { --liveObjects_; }
    [[nodiscard]] long liveObjects() const noexcept { return liveObjects_; }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> presses_;
    std::atomic<long> liveObjects_{0};
};

// Creates the toolbar as a child of `parent`; call on the UI thread, which
// must have initialised COM (OleInitialize) as the real client does. The
// log is kept alive by the toolbar and by every object it handed out.
HWND createMainToolbar(HWND parent, std::vector<ToolbarButton> buttons, std::shared_ptr<ToolbarLog> log,
                       ToolbarOptions options = {});

}  // namespace substitute
