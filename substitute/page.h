// What one page of the substitute client does beyond being a page: its
// controls and how it answers clicks. A page may combine several behaviours
// (the short-sell page is both an order page and a list of shortable
// securities).
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

namespace substitute {

class Client;

class PageBehaviour {
public:
    virtual ~PageBehaviour() = default;
    // Adds the behaviour's controls; the page's list is already its first child.
    virtual void build(HWND page) = 0;
    // A WM_COMMAND that reached the page; true when handled.
    virtual bool onCommand(HWND /*page*/, int /*id*/, int /*code*/, HWND /*control*/) { return false; }
    // A WM_NOTIFY that reached the page (from its list); true when handled.
    virtual bool onNotify(HWND /*page*/, const NMHDR& /*header*/) { return false; }
    // A WM_TIMER of the page with an id the behaviour set.
    virtual bool onTimer(HWND /*page*/, UINT_PTR /*id*/) { return false; }
};

using PageBehaviours = std::vector<std::unique_ptr<PageBehaviour>>;

// The behaviours of the page a caption opens, by what the caption is.
PageBehaviours behavioursFor(Client& client, const std::string& caption);

}  // namespace substitute
