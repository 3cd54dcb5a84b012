#include "client.h"

#include "common_controls6.h"
#include "dialogs.h"
#include "prompts.h"
#include "query_pages.h"
#include "shape.h"
#include "ui_thread.h"

namespace substitute {

namespace {

const char switchClass[] = "SubstituteTradeSwitch";
const char panelClass[] = "SubstitutePanel";

Client* clientOf(HWND window)
{
    return reinterpret_cast<Client*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

void attachClient(HWND window, Client* client)
{
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(client));
}

// The toolbar records its presses; the frame looks at the record this often
// and acts on new presses, as the real frame acts on its toolbar's commands.
constexpr UINT_PTR toolbarWatchTimer = 0x7B00;
constexpr UINT toolbarWatchMs = 10;

template <bool Wide>
LRESULT defaultProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return Wide ? DefWindowProcW(window, message, wParam, lParam) : DefWindowProcA(window, message, wParam, lParam);
}

// The UI thread's own work, as a client decoding market data does it: this
// long out of every period, without answering anything meanwhile.
constexpr UINT_PTR busyWorkTimer = 0x7B01;

template <bool Wide>
LRESULT CALLBACK mainFrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_TIMER && wParam == toolbarWatchTimer) {
        if (Client* client = clientOf(window)) {
            client->handleToolbarPresses();
        }
        return 0;
    }
    if (message == WM_TIMER && wParam == busyWorkTimer) {
        if (Client* client = clientOf(window)) {
            Sleep(client->setup().busyWorkMs);
        }
        return 0;
    }
    return defaultProc<Wide>(window, message, wParam, lParam);
}

template <bool Wide>
LRESULT CALLBACK switchProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_LBUTTONDOWN) {
        if (Client* client = clientOf(window)) {
            client->recordSwitchClick(POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
        }
        return 0;
    }
    return defaultProc<Wide>(window, message, wParam, lParam);
}

// The tree's parent: a click notification opens the page of the selected
// item, but only while the cursor is on that item, as with a real mouse click.
template <bool Wide>
LRESULT CALLBACK panelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NOTIFY) {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        Client* client = clientOf(window);
        if (client != nullptr && header->code == static_cast<UINT>(NM_CLICK) && header->hwndFrom == client->tree()) {
            client->onTreeClick();
        }
        return 0;
    }
    return defaultProc<Wide>(window, message, wParam, lParam);
}

Client* clientOfPage(HWND page)
{
    return reinterpret_cast<Client*>(GetWindowLongPtrA(page, DWLP_USER));
}

// Hands commands, notifications and timers to the page's behaviours.
bool dispatchToBehaviours(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    Client* client = clientOfPage(page);
    PageBehaviours* behaviours = client == nullptr ? nullptr : client->behavioursOf(page);
    if (behaviours == nullptr) {
        return false;
    }
    for (auto& behaviour : *behaviours) {
        const bool handled =
            (message == WM_COMMAND && behaviour->onCommand(page, LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam))) ||
            (message == WM_NOTIFY && behaviour->onNotify(page, *reinterpret_cast<const NMHDR*>(lParam))) ||
            (message == WM_TIMER && behaviour->onTimer(page, wParam));
        if (handled) {
            return true;
        }
    }
    return false;
}

INT_PTR CALLBACK pageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(page, DWLP_USER, lParam);
        return TRUE;
    }
    if (message == WM_COMMAND || message == WM_NOTIFY || message == WM_TIMER) {
        return dispatchToBehaviours(page, message, wParam, lParam) ? TRUE : FALSE;
    }
    return FALSE;
}

INT_PTR CALLBACK popupProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        return TRUE;
    case WM_CLOSE: {
        const auto* popup = reinterpret_cast<const PopupSetup*>(GetWindowLongPtrA(dialog, DWLP_USER));
        if (popup != nullptr && popup->asksBeforeClosing) {
            runPrompt(GetWindow(dialog, GW_OWNER), {texts::promptTitle, "确定要关闭吗?"});
        }
        if (popup == nullptr || !popup->refusesToClose) {
            DestroyWindow(dialog);
        }
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == ids::promptButton) {
            DestroyWindow(dialog);
        }
        return TRUE;
    default:
        return FALSE;
    }
}

void registerClasses()
{
    static bool registered = false;
    if (registered) {
        return;
    }
    registered = true;
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TREEVIEW_CLASSES | ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    const struct {
        const char* name;
        WNDPROC proc;
    } classes[] = {{texts::mainFrameClass, mainFrameProc<false>},
                   {switchClass, switchProc<false>},
                   {panelClass, panelProc<false>}};
    for (const auto& entry : classes) {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = entry.proc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        windowClass.lpszClassName = entry.name;
        RegisterClassA(&windowClass);
    }
}

}  // namespace

// A page's list: another thread reading a cell is a moment an incident can
// be planned for. The window procedure in front of the list's own is set
// with SetWindowLongPtr, not SetWindowSubclass: under Wine the latter looks
// its data up in the window's properties, a request to the window server,
// on every message, which slowed reading the list on its own thread tenfold.
struct ListFront {
    Client* client;
    WNDPROC listProc;
};

namespace {

template <bool Wide>
LRESULT CALLBACK pageListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam)
{
    const auto* front = reinterpret_cast<const ListFront*>(GetWindowLongPtrW(list, GWLP_USERDATA));
    if (message == LVM_GETITEMTEXTA && front->client->incidents().planned() && InSendMessage()) {
        front->client->reach(Moment::CellRead, {}, static_cast<int>(wParam));
    }
    return Wide ? CallWindowProcW(front->listProc, list, message, wParam, lParam)
                : CallWindowProcA(front->listProc, list, message, wParam, lParam);
}

HWND createChild(HWND parent, const char* windowClass, const std::string& text, DWORD style, int id, RECT box)
{
    return addControl(parent, windowClass, text, style, id, box.left, box.top, box.right - box.left,
                      box.bottom - box.top);
}

// A window of the client's own classes, ANSI or Unicode as the client is.
HWND createOwnChild(HWND parent, const char* windowClass, DWORD style, int id, RECT box, WNDPROC wideProc)
{
    return createOwnWindow(windowClass, "", style, box.left, box.top, box.right - box.left, box.bottom - box.top,
                           parent, id, wideProc);
}

// The DPI the client lays itself out for: its screen's when it is DPI
// aware, else the 96 every program is shown at.
int layoutDpi(const ClientSetup& setup, HWND window)
{
    using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
    const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    if (!setup.dpiAware || getDpiForWindow == nullptr) {
        return 96;
    }
    const UINT dpi = getDpiForWindow(window);
    return dpi == 0 ? 96 : static_cast<int>(dpi);
}

}  // namespace

namespace {

ClientSetup shaped(ClientSetup setup)
{
    applyShape(setup, processShape());
    return setup;
}

}  // namespace

Client::Client(ClientSetup setup)
    : setup_(shaped(std::move(setup))), ui_(std::make_unique<UiThread>([this] { shapeThisThread(); })),
      incidents_(std::make_unique<Incidents>(*ui_))
{
    onUi([this] { build(); });
}

// Every thread of the client makes its windows in the client's shape.
void Client::shapeThisThread() const
{
    if (setup_.commonControls6) {
        static_cast<void>(useCommonControls6OnThisThread());
    }
    setWindowMaking({setup_.unicode, setup_.subclassedControls});
}

Client::~Client()
{
    // A test that ended while holding the gate must not leave the UI thread
    // waiting inside a click while the windows are destroyed.
    gate_.open();
    // The second thread's pop-ups end with it, before their owner goes.
    {
        std::lock_guard<std::mutex> guard(secondMutex_);
        second_.reset();
    }
    onUi([this] { destroy(); });
    ui_.reset();
}

void Client::onUi(const std::function<void()>& work)
{
    ui_->run(work);
}

UiThread& Client::secondThread()
{
    std::lock_guard<std::mutex> guard(secondMutex_);
    if (!second_) {
        second_ = std::make_unique<UiThread>([this] { shapeThisThread(); });
    }
    return *second_;
}

void Client::stall(DWORD ms)
{
    incidents_->plan({Moment::Now, {}, -1, ms});
    ui_->post([this] { reach(Moment::Now); });
    static_cast<void>(incidents_->waitForStall(5000));
}

bool Client::reach(Moment moment, const std::string& text, int row)
{
    gate_.pass(moment);
    return incidents_->reach(moment, main_, text, row);
}

void Client::build()
{
    registerClasses();
    const RECT& box = setup_.placement;
    main_ = createOwnWindow(texts::mainFrameClass, setup_.title, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, box.left,
                            box.top, box.right - box.left, box.bottom - box.top, nullptr, 0, &mainFrameProc<true>);
    attachClient(main_, this);
    scaleForDpi(layoutDpi(setup_, main_));
    buildChildren();
    buildToolbar();
    openInitialPage();
    if (setup_.startVisible) {
        ShowWindow(main_, SW_SHOWNORMAL);
    }
    if (setup_.busyWorkMs > 0) {
        SetTimer(main_, busyWorkTimer, setup_.busyPeriodMs, nullptr);
    }
    if (setup_.popupsFromAnotherThread) {
        // The network thread's word that it is connected, left open.
        PopupSetup notice;
        notice.message = "行情主站连接成功";
        secondThread().post([this, notice] { showPopupHere(notice); });
    }
}

// A DPI-aware client lays its switch out in pixels of its screen: the
// switch, and the point in it that shows the tree, grow with the DPI.
void Client::scaleForDpi(int dpi)
{
    const auto scale = [dpi](LONG value) { return static_cast<LONG>(MulDiv(value, dpi, 96)); };
    dpiScale_ = scale;
    setup_.switchHotSpot = {scale(setup_.switchHotSpot.x), scale(setup_.switchHotSpot.y)};
    setup_.switchHotSpotAfterResize = {scale(setup_.switchHotSpotAfterResize.x),
                                       scale(setup_.switchHotSpotAfterResize.y)};
    if (setup_.switchWidthAfterFirstClick > 0) {
        setup_.switchWidthAfterFirstClick = scale(setup_.switchWidthAfterFirstClick);
    }
}

void Client::buildChildren()
{
    // The first child is a panel; nested controls sit inside it so that a
    // depth-first search meets them before any later sibling.
    HWND panel = createOwnChild(main_, panelClass, WS_VISIBLE, ids::topPanel, {0, 0, 780, 30}, &panelProc<true>);
    HWND inner = createOwnChild(panel, panelClass, WS_VISIBLE, ids::innerPanel, {0, 0, 780, 30}, &panelProc<true>);
    const DWORD lockStyle = setup_.lockVisible ? WS_VISIBLE : 0;
    if (setup_.locked) {
        createChild(setup_.lockNested ? inner : main_, "Static", setup_.lockText, lockStyle, ids::lockText, {300, 0, 700, 20});
    }
    if (setup_.accountBox) {
        HWND box = createChild(setup_.accountBoxNested ? inner : main_, "ComboBox", "",
                               WS_VISIBLE | CBS_DROPDOWNLIST | WS_VSCROLL, ids::accountBox, {0, 0, 280, 200});
        for (const std::string& account : setup_.accounts) {
            SendMessageA(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(account.c_str()));
        }
        SendMessageA(box, CB_SETCURSEL, static_cast<WPARAM>(setup_.selectedAccount), 0);
        if (setup_.accountBoxNested) {
            // A visible decoy after the panel: only a breadth-first search would take it.
            HWND decoy = createChild(main_, "ComboBox", "", WS_VISIBLE | CBS_DROPDOWNLIST, ids::decoyAccountBox, {0, 40, 200, 200});
            SendMessageA(decoy, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("decoy"));
            SendMessageA(decoy, CB_SETCURSEL, 0, 0);
        }
    }
    if (setup_.tradeSwitch) {
        const RECT box = {0, dpiScale_(40), dpiScale_(240), dpiScale_(560)};
        switch_ = createOwnChild(main_, switchClass, WS_VISIBLE, ids::tradeSwitch, box, &switchProc<true>);
        attachClient(switch_, this);
        buildTree(switch_);
    }
    if (setup_.pageHost) {
        const RECT box = {dpiScale_(250), dpiScale_(40), dpiScale_(780), dpiScale_(560)};
        pageHost_ = createOwnChild(main_, panelClass, WS_VISIBLE, ids::pageHost, box, &panelProc<true>);
    }
}

void Client::buildTree(HWND parent)
{
    const RECT box = {0, 0, dpiScale_(240), dpiScale_(520)};
    treePanel_ = createOwnChild(parent, panelClass, setup_.treeVisible ? WS_VISIBLE : 0, ids::treePanel, box, &panelProc<true>);
    attachClient(treePanel_, this);
    tree_ = createChild(treePanel_, WC_TREEVIEWA, "",
                        WS_VISIBLE | WS_BORDER | TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT | TVS_SHOWSELALWAYS,
                        setup_.treeId, box);
    insertNodes(TVI_ROOT, setup_.tree, "");
}

void Client::insertNodes(HTREEITEM parent, const std::vector<TreeNode>& nodes, const std::string& path)
{
    for (const TreeNode& node : nodes) {
        TVINSERTSTRUCTA insert = {};
        insert.hParent = parent;
        insert.hInsertAfter = TVI_LAST;
        insert.item.mask = TVIF_TEXT;
        insert.item.pszText = const_cast<char*>(node.caption.c_str());
        auto item = reinterpret_cast<HTREEITEM>(SendMessageA(tree_, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
        const std::string nodePath = path.empty() ? node.caption : path + "/" + node.caption;
        nodes_[item] = PlacedNode{&node, nodePath};
        insertNodes(item, node.children, nodePath);
        if (node.expanded) {
            SendMessageA(tree_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
        }
    }
}

void Client::frontList(HWND list)
{
    auto front = std::make_unique<ListFront>(ListFront{this, nullptr});
    SetWindowLongPtrW(list, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(front.get()));
    front->listProc = reinterpret_cast<WNDPROC>(
        setup_.unicode ? SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&pageListProc<true>))
                       : SetWindowLongPtrA(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&pageListProc<false>)));
    listFronts_.push_back(std::move(front));
}

void Client::openInitialPage()
{
    for (const auto& entry : nodes_) {
        if (entry.second.path == setup_.openAtStart) {
            SendMessageA(tree_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(entry.first));
            showPage(entry.second.node->caption, entry.second.node->page);
            return;
        }
    }
}

void Client::recordSwitchClick(POINT point)
{
    bool first = false;
    {
        std::lock_guard<std::mutex> guard(logMutex_);
        log_.switchClicks.push_back(point);
        first = log_.switchClicks.size() == 1;
    }
    const bool onHotSpot = std::abs(point.x - setup_.switchHotSpot.x) <= 2 && std::abs(point.y - setup_.switchHotSpot.y) <= 2;
    if (onHotSpot && treePanel_ != nullptr) {
        ShowWindow(treePanel_, SW_SHOW);
    }
    if (first && setup_.switchWidthAfterFirstClick > 0) {
        RECT box = {};
        GetWindowRect(switch_, &box);
        MapWindowPoints(nullptr, main_, reinterpret_cast<POINT*>(&box), 2);
        MoveWindow(switch_, box.left, box.top, setup_.switchWidthAfterFirstClick, box.bottom - box.top, TRUE);
        setup_.switchHotSpot = setup_.switchHotSpotAfterResize;
    }
}

void Client::onTreeClick()
{
    reach(Moment::TreeClicked);
    auto selected = reinterpret_cast<HTREEITEM>(SendMessageA(tree_, TVM_GETNEXTITEM, TVGN_CARET, 0));
    POINT cursor;
    GetCursorPos(&cursor);
    TVHITTESTINFO hit = {};
    hit.pt = cursor;
    ScreenToClient(tree_, &hit.pt);
    auto hitItem = reinterpret_cast<HTREEITEM>(SendMessageA(tree_, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    auto node = nodes_.find(selected);
    if (selected == nullptr || hitItem != selected || node == nodes_.end()) {
        std::lock_guard<std::mutex> guard(logMutex_);
        ++log_.missedTreeClicks;
        return;
    }
    {
        std::lock_guard<std::mutex> guard(logMutex_);
        log_.treeClicks.push_back(node->second.path);
        log_.clickCursor.push_back(cursor);
    }
    showPage(node->second.node->caption, node->second.node->page);
}

HWND Client::showPage(const std::string& caption, PageKind kind)
{
    if (kind == PageKind::Nothing || pageHost_ == nullptr) {
        return nullptr;
    }
    HWND& page = pages_[caption];
    if (page == nullptr) {
        page = createDialog(pageHost_, WS_CHILD, pageProc, reinterpret_cast<LPARAM>(this));
        SetWindowTextA(page, caption.c_str());
        MoveWindow(page, 0, 0, 530, 520, FALSE);
        const DWORD ownerData = listsByOwnerData(setup_, caption) ? LVS_OWNERDATA : 0;
        HWND list = addControl(page, WC_LISTVIEWA, "", WS_VISIBLE | LVS_REPORT | ownerData, ids::pageList, 0, 60, 520, 440);
        frontList(list);
        if (kind == PageKind::NestedDialog) {
            EnableWindow(list, FALSE);
            HWND nested = createDialog(page, WS_CHILD | WS_VISIBLE, pageProc, 0);
            SetWindowPos(nested, HWND_TOP, 0, 0, 520, 50, SWP_NOACTIVATE);
        }
        PageBehaviours& behaviours = behaviours_[page];
        behaviours = behavioursFor(*this, caption);
        for (auto& behaviour : behaviours) {
            behaviour->build(page);
        }
        std::lock_guard<std::mutex> guard(logMutex_);
        log_.pagesOpened.push_back(caption);
    }
    for (const auto& entry : pages_) {
        if (entry.second != nullptr && entry.second != page) {
            ShowWindow(entry.second, SW_HIDE);
        }
    }
    ShowWindow(page, SW_SHOW);
    return page;
}

HWND Client::openPopup(const PopupSetup& popup)
{
    HWND window = nullptr;
    const auto make = [&] { window = showPopupHere(popup); };
    popup.fromAnotherThread ? secondThread().run(make) : onUi(make);
    return window;
}

// Makes the pop-up on the calling thread of the client.
HWND Client::showPopupHere(const PopupSetup& popup)
{
    auto* stored = new PopupSetup(popup);  // owned by the popup list below
    const HWND window =
        createDialog(main_, WS_POPUP | WS_CAPTION | WS_VISIBLE, popupProc, reinterpret_cast<LPARAM>(stored));
    SetWindowTextA(window, popup.title.c_str());
    addControl(window, "Static", popup.message, WS_VISIBLE, ids::promptText, 10, 10, 300, 20);
    if (popup.withPromptButton) {
        addControl(window, "Button", "确定", WS_VISIBLE | BS_PUSHBUTTON, ids::promptButton, 10, 40, 80, 24);
    }
    std::lock_guard<std::mutex> guard(logMutex_);
    popups_.emplace_back(stored);
    return window;
}

HWND Client::page(const std::string& caption) const
{
    HWND result = nullptr;
    const_cast<Client*>(this)->onUi([&] {
        auto found = pages_.find(caption);
        result = found == pages_.end() ? nullptr : found->second;
    });
    return result;
}

bool Client::isVisible() const
{
    return IsWindowVisible(main_) != FALSE;
}

RECT Client::windowRect() const
{
    RECT box = {};
    GetWindowRect(main_, &box);
    return box;
}

std::vector<ToolbarButton> defaultToolbarButtons()
{
    return {toolbarGroup("交易", {toolbarButton("刷新", false), toolbarButton("刷新")}),
            toolbarButton("融券卖出")};
}

void Client::buildToolbar()
{
    HWND holder = createOwnChild(main_, panelClass, WS_VISIBLE, ids::toolbarHolder, {0, 562, 780, 592}, &panelProc<true>);
    createMainToolbar(holder, setup_.toolbarButtons, toolbarLog_);
    SetTimer(main_, toolbarWatchTimer, toolbarWatchMs, nullptr);
}

void Client::handleToolbarPresses()
{
    const std::vector<std::string> presses = toolbarLog_->presses();
    for (; toolbarPressesHandled_ < presses.size(); ++toolbarPressesHandled_) {
        runToolbarQuery(*this, presses[toolbarPressesHandled_]);
    }
}

PageBehaviours* Client::behavioursOf(HWND page)
{
    auto found = behaviours_.find(page);
    return found == behaviours_.end() ? nullptr : &found->second;
}

ClientLog Client::log() const
{
    std::lock_guard<std::mutex> guard(logMutex_);
    return log_;
}

void Client::destroy()
{
    if (main_ != nullptr) {
        DestroyWindow(main_);
        main_ = nullptr;
    }
}

}  // namespace substitute
