// The substitute trading client: a real Win32 program with the window
// structure the library relies on (main frame, lock screen, account box,
// trade switch, function tree, page host with its pages, prompt pop-ups),
// scripted by a ClientSetup and recording what was done to it.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "cancel_desk.h"
#include "gate.h"
#include "incidents.h"
#include "order_desk.h"
#include "page.h"
#include "query_desk.h"
#include "texts.h"
#include "toolbar.h"

namespace substitute {

class UiThread;
struct ListFront;

// A page of the client, shown when its tree item is clicked.
enum class PageKind {
    List,          // a "#32770" page whose first child is a list view
    NestedDialog,  // a page without a list whose first child is a nested dialog
    Nothing,       // the item opens no page
};

struct TreeNode {
    std::string caption;
    std::vector<TreeNode> children;
    PageKind page = PageKind::List;
    bool expanded = false;
};

// The main toolbar's buttons unless a setup says otherwise: a group whose
// disabled "刷新" comes before an enabled one, and "融券卖出".
std::vector<ToolbarButton> defaultToolbarButtons();

struct ClientSetup {
    std::string title = "模拟交易客户端";
    bool startVisible = true;
    RECT placement = {100, 100, 900, 700};

    bool locked = false;
    std::string lockText = texts::lockScreen;
    bool lockVisible = true;
    bool lockNested = false;

    bool accountBox = true;
    bool accountBoxNested = false;  // below a panel that comes before the switch
    std::vector<std::string> accounts = {"资金账号 12345678"};
    int selectedAccount = 0;

    bool tradeSwitch = true;
    int treeId = ids::ordinaryTree;
    bool treeVisible = false;
    // The point in the trade switch's client area that shows the tree.
    POINT switchHotSpot = {10, 10};
    // The switch's width after its first click, and its hot spot from then
    // on (0: it keeps its size), as a client laying out its panels anew.
    int switchWidthAfterFirstClick = 0;
    POINT switchHotSpotAfterResize = {10, 10};
    std::vector<TreeNode> tree;
    bool pageHost = true;
    // The "folder/caption" path of an item that is selected, with its page
    // shown, from the start.
    std::string openAtStart;

    // One edition (credit accounts) puts the credit order controls on its
    // ordinary order pages.
    bool creditIdsOnOrderPages = false;
    // The query button of the shortable-securities page (one edition has its own).
    int shortableQueryButtonId = 144;
    // The main toolbar, nested one level below the main frame. A press of
    // "刷新" or "融券卖出" runs the query of the shortable-securities page.
    std::vector<ToolbarButton> toolbarButtons = defaultToolbarButtons();

    // The shapes real clients take. The profile `realistic` (shape.h) turns
    // on the first five together.
    // 1. Common controls version 6, through an activation context as an
    //    application manifest gives it.
    bool commonControls6 = false;
    // 2. A Unicode program: its windows are made with the W functions (their
    //    texts are still those the client shows).
    bool unicode = false;
    // 3. Lists, edits, the tree and the combo box get a procedure of the
    //    client's in front of the system's the moment they are made, as a
    //    class framework attaches a control to its object.
    bool subclassedControls = false;
    // 4. The lists of today's orders and trades are owner-data lists
    //    (LVS_OWNERDATA): their texts come from the page, asked with
    //    LVN_GETDISPINFO; each row asked for costs the page `ownerDataRowMs`.
    bool ownerDataLists = false;
    DWORD ownerDataRowMs = 0;
    // 5. Orders' answers (their final prompts), and a notice at start, are
    //    shown by a second thread of the client, owned by the main frame, as
    //    a client whose network thread reports does; the UI thread goes on.
    bool popupsFromAnotherThread = false;
    // 6. The client lays itself out for its screen's DPI, as a per-monitor
    //    DPI-aware program does (the process must be made aware).
    bool dpiAware = false;
    // 7. The UI thread works `busyWorkMs` out of every `busyPeriodMs` without
    //    answering messages, as a client decoding market data does.
    DWORD busyWorkMs = 0;
    DWORD busyPeriodMs = 100;
};

// One stray pop-up owned by the main frame.
struct PopupSetup {
    std::string title = "提示";
    bool refusesToClose = false;
    // Asked to close, it first asks, in a modal prompt of its own, whether to.
    bool asksBeforeClosing = false;
    bool withPromptButton = true;
    std::string message = "提示信息";
    // Made by the client's second thread instead of its UI thread.
    bool fromAnotherThread = false;
};

// What happened to the client, in order.
struct ClientLog {
    std::vector<POINT> switchClicks;      // points of button-down messages
    std::vector<std::string> treeClicks;  // "folder/caption" paths of items a click opened
    std::vector<POINT> clickCursor;       // cursor positions at those clicks
    int missedTreeClicks = 0;             // NM_CLICKs with the cursor off the item
    std::vector<std::string> pagesOpened; // captions, in the order first opened
    int popupsClosed = 0;
};

class Client {
public:
    explicit Client(ClientSetup setup);
    ~Client();
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    HWND mainWindow() const { return main_; }
    HWND tree() const { return tree_; }

    // Runs `work` on the client's UI thread.
    void onUi(const std::function<void()>& work);
    // The client's second thread (a network thread of a real client), which
    // shows pop-ups of its own; made when first asked for.
    UiThread& secondThread();

    ClientLog log() const;
    HWND openPopup(const PopupSetup& popup);
    HWND page(const std::string& caption) const;
    bool isVisible() const;
    RECT windowRect() const;

    const ClientSetup& setup() const { return setup_; }
    OrderDesk& orders() { return orders_; }
    QueryDesk& queries() { return queries_; }
    CancelDesk& cancels() { return cancels_; }
    // Open unless a test closes it at a moment: the client then waits there
    // (and the library's call with it) until the test opens it.
    Gate& gate() { return gate_; }
    const ToolbarLog& toolbarLog() const { return *toolbarLog_; }
    // Troubles to come: a stall of the UI thread or the main window destroyed
    // at a chosen moment.
    Incidents& incidents() { return *incidents_; }
    // Stops the UI thread for `ms` from now, without handling any message,
    // and returns once it has stopped.
    void stall(DWORD ms);

    // Internal: called on the UI thread by the client's windows.
    void recordSwitchClick(POINT point);
    void onTreeClick();
    PageBehaviours* behavioursOf(HWND page);
    void handleToolbarPresses();
    // Holds at a closed gate, then runs a planned incident due at this
    // moment; true when one ran.
    bool reach(Moment moment, const std::string& text = {}, int row = -1);

private:
    void shapeThisThread() const;
    void build();
    void scaleForDpi(int dpi);
    HWND showPopupHere(const PopupSetup& popup);
    void buildChildren();
    void buildTree(HWND parent);
    void insertNodes(HTREEITEM parent, const std::vector<TreeNode>& nodes, const std::string& path);
    HWND showPage(const std::string& caption, PageKind kind);
    void frontList(HWND list);
    void openInitialPage();
    void buildToolbar();
    void destroy();

    ClientSetup setup_;
    // Pixels of the layout at 96 DPI to pixels of the client's screen.
    std::function<LONG(LONG)> dpiScale_ = [](LONG value) { return value; };
    std::unique_ptr<UiThread> ui_;
    std::unique_ptr<Incidents> incidents_;
    std::mutex secondMutex_;
    std::unique_ptr<UiThread> second_;
    HWND main_ = nullptr;
    HWND switch_ = nullptr;
    HWND treePanel_ = nullptr;
    HWND tree_ = nullptr;
    HWND pageHost_ = nullptr;
    std::map<std::string, HWND> pages_;
    std::map<HWND, PageBehaviours> behaviours_;
    std::vector<std::unique_ptr<ListFront>> listFronts_;
    struct PlacedNode {
        const TreeNode* node;
        std::string path;
    };
    std::map<HTREEITEM, PlacedNode> nodes_;
    std::vector<std::unique_ptr<PopupSetup>> popups_;
    OrderDesk orders_;
    QueryDesk queries_;
    CancelDesk cancels_;
    Gate gate_;
    std::shared_ptr<ToolbarLog> toolbarLog_ = std::make_shared<ToolbarLog>();
    size_t toolbarPressesHandled_ = 0;
    mutable std::mutex logMutex_;
    ClientLog log_;
};

}  // namespace substitute
