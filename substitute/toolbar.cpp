#include "toolbar.h"

#include <objbase.h>
#include <oleauto.h>

#include <algorithm>
#include <new>
#include <string_view>
#include <utility>

#include "gbk_text.h"

namespace substitute {

namespace {

constexpr char toolbarClass[] = "MHPToolBar";
constexpr char toolbarTitle[] = "MainViewBar";
// The states given when the toolbar gives its states as text.
constexpr char unavailableText[] = "unavailable";
constexpr char normalText[] = "normal";
// IAccessible's interface id from its declaration: the x86-64 import library
// of oleacc resolves IID_IAccessible to a code thunk instead of the GUID.
const IID& accessibleIid = __uuidof(IAccessible);

// Everything the accessible objects read. The window and every object handed
// out share it, so an object a caller still holds stays valid after the
// window is gone.
struct ToolbarData {
    ToolbarButton root;
    ToolbarOptions options;
    std::shared_ptr<ToolbarLog> log;
    // The stall still to come (ToolbarOptions::stallInFirstChildCountMs).
    std::shared_ptr<std::atomic<DWORD>> stallMs = std::make_shared<std::atomic<DWORD>>(options.stallInFirstChildCountMs);
};
using SharedData = std::shared_ptr<const ToolbarData>;

// A new BSTR of the GBK text (button names are GBK whatever the process's
// ANSI code page is); null when out of memory.
[[nodiscard]] BSTR toBstr(std::string_view gbk) noexcept
{
    try {
        const std::wstring wide = zelvo_common::gbkToWide(gbk);
        return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    } catch (...) {
        return nullptr;  // the conversion's own allocation failed
    }
}

// The accessible object of the toolbar or of one button group. The node
// itself is CHILDID_SELF and its children are child ids 1 to n; a child that
// is a group is also handed out as an object of its own. Calls arrive on the
// UI thread, marshaled there by COM.
class NodeAccessible final : public IAccessible, public IEnumVARIANT {
public:
    // A new object holding one reference; null when out of memory.
    [[nodiscard]] static NodeAccessible* create(SharedData data, const ToolbarButton& node, ULONG position = 0) noexcept
    {
        return new (std::nothrow) NodeAccessible(std::move(data), node, position);
    }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (object == nullptr) {
            return E_POINTER;
        }
        *object = interfaceFor(iid);
        if (*object == nullptr) {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG left = InterlockedDecrement(&references_);
        if (left == 0) {
            delete this;
        }
        return static_cast<ULONG>(left);
    }

    // IDispatch: the object is used through its vtable only.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        if (count == nullptr) {
            return E_POINTER;
        }
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }

    // IAccessible: the tree, names, roles, states and the press.
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override
    {
        if (parent == nullptr) {
            return E_POINTER;
        }
        *parent = nullptr;  // parents are not told; the search only goes down
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override
    {
        if (count == nullptr) {
            return E_POINTER;
        }
        if (const DWORD stallMs = data_->stallMs->exchange(0); stallMs > 0) {
            Sleep(stallMs);
        }
        *count = static_cast<LONG>(childCount());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT childId, IDispatch** child) override
    {
        const ToolbarButton* button = childButton(childId);
        if (button == nullptr || child == nullptr) {
            return E_INVALIDARG;
        }
        *child = nullptr;
        if (button->children.empty()) {
            return S_FALSE;  // a simple element of this object
        }
        *child = create(data_, *button);
        return *child != nullptr ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT childId, BSTR* name) override
    {
        const ToolbarButton* button = element(childId);
        if (button == nullptr || name == nullptr) {
            return E_INVALIDARG;
        }
        *name = toBstr(button->name);
        return *name != nullptr ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT childId, VARIANT* role) override
    {
        const ToolbarButton* button = element(childId);
        if (button == nullptr || role == nullptr) {
            return E_INVALIDARG;
        }
        VariantInit(role);
        role->vt = VT_I4;
        role->lVal = button->role;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT childId, VARIANT* state) override
    {
        const ToolbarButton* button = element(childId);
        if (button == nullptr || state == nullptr) {
            return E_INVALIDARG;
        }
        VariantInit(state);
        return data_->options.statesAsText ? stateAsText(*button, *state) : stateAsBits(*button, *state);
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT childId) override
    {
        const ToolbarButton* button = element(childId);
        if (button == nullptr) {
            return E_INVALIDARG;
        }
        // A disabled button cannot be pressed, as on the real toolbar.
        return button->enabled ? recordPress(button->name) : E_FAIL;
    }

    // IAccessible: what the toolbar does not offer.
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT, BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT, BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT, BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR*, VARIANT, LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT, BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT, BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE accSelect(LONG, VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE accLocation(LONG*, LONG*, LONG*, LONG*, VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE accNavigate(LONG, VARIANT, VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE accHitTest(LONG, LONG, VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

    // IEnumVARIANT: groups as their objects, buttons as their child ids.
    HRESULT STDMETHODCALLTYPE Next(ULONG count, VARIANT* items, ULONG* fetched) override
    {
        if (items == nullptr || (count != 1 && fetched == nullptr)) {
            return E_INVALIDARG;
        }
        ULONG done = 0;
        for (; done < count && position_ < childCount(); ++done, ++position_) {
            items[done] = childValue(position_);
        }
        if (fetched != nullptr) {
            *fetched = done;
        }
        return done == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override
    {
        const ULONG left = childCount() - position_;
        position_ += std::min(count, left);
        return count <= left ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override
    {
        position_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT** copy) override
    {
        if (copy == nullptr) {
            return E_POINTER;
        }
        *copy = create(data_, node_, position_);
        return *copy != nullptr ? S_OK : E_OUTOFMEMORY;
    }

private:
    NodeAccessible(SharedData data, const ToolbarButton& node, ULONG position) noexcept
        : data_(std::move(data)), node_(node), position_(position)
    {
        data_->log->objectCreated();
    }
    ~NodeAccessible() { data_->log->objectDestroyed(); }

    [[nodiscard]] void* interfaceFor(REFIID iid) noexcept
    {
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == accessibleIid) {
            return static_cast<IAccessible*>(this);
        }
        if (iid == IID_IEnumVARIANT && data_->options.enumerator) {
            return static_cast<IEnumVARIANT*>(this);
        }
        return nullptr;
    }

    [[nodiscard]] ULONG childCount() const noexcept { return static_cast<ULONG>(node_.children.size()); }

    // The button a child id names among this node's children; null for any other id.
    [[nodiscard]] const ToolbarButton* childButton(const VARIANT& childId) const noexcept
    {
        if (childId.vt != VT_I4 || childId.lVal < 1 || static_cast<ULONG>(childId.lVal) > childCount()) {
            return nullptr;
        }
        return &node_.children[static_cast<size_t>(childId.lVal) - 1];
    }

    // This node for CHILDID_SELF, otherwise the child the id names.
    [[nodiscard]] const ToolbarButton* element(const VARIANT& childId) const noexcept
    {
        if (childId.vt == VT_I4 && childId.lVal == CHILDID_SELF) {
            return &node_;
        }
        return childButton(childId);
    }

    // Child `index` (from 0) as the enumerator hands it out.
    [[nodiscard]] VARIANT childValue(ULONG index) const noexcept
    {
        VARIANT value;
        VariantInit(&value);
        const ToolbarButton& child = node_.children[index];
        NodeAccessible* object = child.children.empty() ? nullptr : create(data_, child);
        if (object != nullptr) {
            value.vt = VT_DISPATCH;
            value.pdispVal = object;
        } else {
            value.vt = VT_I4;
            value.lVal = static_cast<LONG>(index + 1);
        }
        return value;
    }

    static HRESULT stateAsBits(const ToolbarButton& button, VARIANT& state) noexcept
    {
        state.vt = VT_I4;
        state.lVal = button.extraState | (button.enabled ? 0 : STATE_SYSTEM_UNAVAILABLE);
        return S_OK;
    }

    static HRESULT stateAsText(const ToolbarButton& button, VARIANT& state) noexcept
    {
        BSTR text = toBstr(button.enabled ? normalText : unavailableText);
        if (text == nullptr) {
            return E_OUTOFMEMORY;
        }
        state.vt = VT_BSTR;
        state.bstrVal = text;
        return S_OK;
    }

    [[nodiscard]] HRESULT recordPress(const std::string& name) const noexcept
    {
        try {
            data_->log->recordPress(name);
            return S_OK;
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }

    SharedData data_;
    const ToolbarButton& node_;
    ULONG position_;
    LONG references_ = 1;
};

// Drops the window procedure's own reference once the object is handed on.
struct ReleaseNode {
    void operator()(NodeAccessible* node) const noexcept { node->Release(); }
};
using NodeRef = std::unique_ptr<NodeAccessible, ReleaseNode>;

[[nodiscard]] SharedData* dataOf(HWND toolbar) noexcept
{
    return reinterpret_cast<SharedData*>(GetWindowLongPtrA(toolbar, GWLP_USERDATA));
}

// A fresh root object for each request; LresultFromObject takes its own
// reference for the caller. Zero (the system's standard object) when the
// toolbar has no data yet.
[[nodiscard]] LRESULT answerObjectRequest(HWND toolbar, WPARAM wParam) noexcept
{
    const SharedData* data = dataOf(toolbar);
    if (data == nullptr) {
        return 0;
    }
    const NodeRef root(NodeAccessible::create(*data, (*data)->root));
    return root ? LresultFromObject(accessibleIid, wParam, static_cast<IAccessible*>(root.get())) : 0;
}

LRESULT CALLBACK toolbarProc(HWND toolbar, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Only the object id is tested: Wine sends wParam 0xFFFFFFFF, and
    // LresultFromObject must get wParam as it came.
    if (message == WM_GETOBJECT && static_cast<DWORD>(lParam) == static_cast<DWORD>(OBJID_WINDOW)) {
        return answerObjectRequest(toolbar, wParam);
    }
    if (message == WM_NCDESTROY) {
        delete dataOf(toolbar);
        SetWindowLongPtrA(toolbar, GWLP_USERDATA, 0);
    }
    return DefWindowProcA(toolbar, message, wParam, lParam);
}

void registerToolbarClass() noexcept
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = toolbarProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = toolbarClass;
    RegisterClassA(&windowClass);  // fails harmlessly when the class exists
}

}  // namespace

ToolbarButton toolbarButton(std::string name, bool enabled)
{
    ToolbarButton button;
    button.name = std::move(name);
    button.enabled = enabled;
    return button;
}

ToolbarButton toolbarGroup(std::string name, std::vector<ToolbarButton> children, bool enabled)
{
    ToolbarButton group = toolbarButton(std::move(name), enabled);
    group.role = ROLE_SYSTEM_GROUPING;
    group.children = std::move(children);
    return group;
}

void ToolbarLog::recordPress(const std::string& name)
{
    const std::lock_guard<std::mutex> hold(mutex_);
    presses_.push_back(name);
}

std::vector<std::string> ToolbarLog::presses() const
{
    const std::lock_guard<std::mutex> hold(mutex_);
    return presses_;
}

HWND createMainToolbar(HWND parent, std::vector<ToolbarButton> buttons, std::shared_ptr<ToolbarLog> log,
                       ToolbarOptions options)
{
    registerToolbarClass();
    ToolbarButton root = toolbarGroup(toolbarTitle, std::move(buttons));
    root.role = ROLE_SYSTEM_TOOLBAR;
    auto data = std::make_unique<SharedData>(std::make_shared<const ToolbarData>(
        ToolbarData{std::move(root), options, log ? std::move(log) : std::make_shared<ToolbarLog>()}));
    HWND toolbar = CreateWindowExA(0, toolbarClass, toolbarTitle, WS_CHILD | WS_VISIBLE, 0, 0, 600, 28, parent,
                                   nullptr, GetModuleHandleA(nullptr), nullptr);
    if (toolbar != nullptr) {
        SetWindowLongPtrA(toolbar, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(data.release()));
    }
    return toolbar;
}

}  // namespace substitute
