#include "support/accessibility.h"

#include <algorithm>
#include <utility>

#include "attach/client_windows.h"
#include "platform/windows_ui.h"
#include "session/session.h"

namespace zelvo {

namespace {

// The client's main toolbar, found by window class and title.
constexpr char toolbarClass[] = "MHPToolBar";
constexpr char toolbarTitle[] = "MainViewBar";
// The state text of a disabled element, for elements that give their state as text.
constexpr char unavailableState[] = "unavailable";
// The class text of an element that belongs to no window.
constexpr char noWindowClass[] = "No window";
// IAccessible's interface id from its declaration: the x86-64 import library
// of oleacc resolves IID_IAccessible to a code thunk instead of the GUID.
const IID& accessibleIid = __uuidof(IAccessible);

constexpr std::size_t maxTextBytes = 255;
constexpr int highestStateBit = 27;
// Accessible trees are shallow; the bound only guards against a cycle.
constexpr int maxSearchDepth = 32;

[[nodiscard]] VARIANT childVariant(long childId) noexcept
{
    VARIANT child;
    VariantInit(&child);
    child.vt = VT_I4;
    child.lVal = childId;
    return child;
}

// `text` cut to at most `maxBytes` bytes without splitting a double-byte character.
[[nodiscard]] std::string cutBetweenCharacters(std::string text, std::size_t maxBytes)
{
    std::size_t end = 0;
    while (end < text.size()) {
        const std::size_t width = IsDBCSLeadByte(static_cast<BYTE>(text[end])) ? 2 : 1;
        if (end + width > maxBytes) {
            break;
        }
        end += width;
    }
    text.resize(std::min(end, text.size()));
    return text;
}

[[nodiscard]] std::string roleName(DWORD role)
{
    char buffer[256] = {};
    GetRoleTextA(role, buffer, sizeof buffer);
    buffer[sizeof buffer - 1] = '\0';
    return cutBetweenCharacters(buffer, maxTextBytes);
}

[[nodiscard]] std::string stateName(DWORD stateBit)
{
    char buffer[256] = {};
    GetStateTextA(stateBit, buffer, sizeof buffer);
    buffer[sizeof buffer - 1] = '\0';
    return buffer;
}

[[nodiscard]] std::string stateNames(DWORD state)
{
    std::string names;
    for (int bit = 0; bit <= highestStateBit; ++bit) {
        const DWORD flag = DWORD{1} << bit;
        if ((state & flag) != 0) {
            names += stateName(flag);
            names += ',';
        }
    }
    if (!names.empty()) {
        names.pop_back();
    }
    return cutBetweenCharacters(std::move(names), maxTextBytes);
}

// Disabled elements are passed over. The numeric state is tested by its bit,
// as the state texts are in the system's language; an element that gives its
// state as text is tested for the English word.
[[nodiscard]] bool isUnavailable(IAccessible* element, long childId)
{
    VariantGuard state;
    if (FAILED(element->get_accState(childVariant(childId), state.put()))) {
        return false;
    }
    if (state.get().vt == VT_I4) {
        return (state.get().lVal & STATE_SYSTEM_UNAVAILABLE) != 0;
    }
    return state.get().vt == VT_BSTR &&
           narrowAcp(state.get().bstrVal, maxTextBytes).find(unavailableState) != std::string::npos;
}

[[nodiscard]] std::string accessibleName(IAccessible* element, long childId)
{
    BstrGuard name;
    if (FAILED(element->get_accName(childVariant(childId), name.put()))) {
        return {};
    }
    return narrowAcp(name.get(), maxTextBytes);
}

[[nodiscard]] std::string windowClassText(IAccessible* element)
{
    HWND window = nullptr;
    if (FAILED(WindowFromAccessibleObject(element, &window))) {
        return {};
    }
    return window == nullptr ? noWindowClass : className(window);
}

// Texts are only read for the filters given: each read is a call into the
// client's UI thread.
[[nodiscard]] bool matches(IAccessible* element, long childId, const AccessibleFilter& filter)
{
    if (filter.name && accessibleName(element, childId) != *filter.name) {
        return false;
    }
    if (filter.role && accessibleRoleText(element, childId) != *filter.role) {
        return false;
    }
    return !filter.windowClass || windowClassText(element) == *filter.windowClass;
}

// The parent's enumerator of its children, rewound; null when it has none.
[[nodiscard]] ComPtr<IEnumVARIANT> childEnumerator(IAccessible* parent)
{
    ComPtr<IEnumVARIANT> children;
    if (FAILED(parent->QueryInterface(IID_IEnumVARIANT, children.putVoid())) || !children) {
        return {};
    }
    (void)children->Reset();
    return children;
}

// The `index`-th child (from 1) as the parent yields it: the enumerator's next
// value, or child id `index` when there is no enumerator.
[[nodiscard]] bool readChild(IEnumVARIANT* children, long index, VariantGuard& child)
{
    if (children == nullptr) {
        *child.put() = childVariant(index);
        return true;
    }
    ULONG fetched = 0;
    return children->Next(1, child.put(), &fetched) == S_OK && fetched == 1;
}

// The full child object a child value stands for: the object handed over, or
// the one the parent gives for the child id. Null for a simple element.
[[nodiscard]] ComPtr<IAccessible> childObject(IAccessible* parent, const VARIANT& child)
{
    ComPtr<IDispatch> dispatch;
    if (child.vt == VT_I4) {
        (void)parent->get_accChild(child, dispatch.put());
    } else if (child.vt == VT_DISPATCH) {
        dispatch = ComPtr<IDispatch>::retain(child.pdispVal);
    }
    ComPtr<IAccessible> object;
    if (dispatch) {
        (void)dispatch->QueryInterface(accessibleIid, object.putVoid());
    }
    return object;
}

std::optional<AccessibleElement> searchChildren(IAccessible* parent, const AccessibleFilter& filter, int depth);

// Tests one child and then searches its subtree, unless it is disabled.
std::optional<AccessibleElement> searchChild(IAccessible* parent, const VARIANT& child,
                                             const AccessibleFilter& filter, int depth)
{
    ComPtr<IAccessible> object = childObject(parent, child);
    if (!object && child.vt != VT_I4) {
        return std::nullopt;
    }
    IAccessible* element = object ? object.get() : parent;
    const long childId = object ? CHILDID_SELF : child.lVal;
    if (isUnavailable(element, childId)) {
        return std::nullopt;
    }
    if (matches(element, childId, filter)) {
        return object ? AccessibleElement{std::move(object), CHILDID_SELF}
                      : AccessibleElement{ComPtr<IAccessible>::retain(parent), childId};
    }
    return object ? searchChildren(object.get(), filter, depth + 1) : std::nullopt;
}

std::optional<AccessibleElement> searchChildren(IAccessible* parent, const AccessibleFilter& filter, int depth)
{
    long count = 0;
    if (depth > maxSearchDepth || FAILED(parent->get_accChildCount(&count))) {
        return std::nullopt;
    }
    const ComPtr<IEnumVARIANT> children = childEnumerator(parent);
    for (long index = 1; index <= count; ++index) {
        VariantGuard child;
        if (!readChild(children.get(), index, child)) {
            break;
        }
        if (auto found = searchChild(parent, child.get(), filter, depth)) {
            return found;
        }
    }
    return std::nullopt;
}

// Every COM object of the press lives in this function, so all are released
// before the caller's apartment scope ends.
void pressNamedElement(HWND toolbar, const std::string& name)
{
    ComPtr<IAccessible> root;
    if (FAILED(AccessibleObjectFromWindow(toolbar, OBJID_WINDOW, accessibleIid, root.putVoid())) || !root) {
        return;
    }
    AccessibleFilter filter;
    filter.name = name;
    if (const auto found = findAccessibleChild(root.get(), filter)) {
        (void)found->object->accDoDefaultAction(childVariant(found->childId));
    }
}

}  // namespace

std::string accessibleRoleText(IAccessible* element, long childId)
{
    VariantGuard role;
    if (element == nullptr || FAILED(element->get_accRole(childVariant(childId), role.put()))) {
        return {};
    }
    if (role.get().vt == VT_I4) {
        return roleName(static_cast<DWORD>(role.get().lVal));
    }
    return role.get().vt == VT_BSTR ? narrowAcp(role.get().bstrVal, maxTextBytes) : std::string();
}

std::string accessibleStateText(IAccessible* element, long childId)
{
    VariantGuard state;
    if (element == nullptr || FAILED(element->get_accState(childVariant(childId), state.put()))) {
        return {};
    }
    if (state.get().vt == VT_I4) {
        return stateNames(static_cast<DWORD>(state.get().lVal));
    }
    return state.get().vt == VT_BSTR ? narrowAcp(state.get().bstrVal, maxTextBytes) : std::string();
}

std::optional<AccessibleElement> findAccessibleChild(IAccessible* parent, const AccessibleFilter& filter)
{
    if (parent == nullptr) {
        return std::nullopt;
    }
    return searchChildren(parent, filter, 0);
}

void pressToolbarButton(const std::string& name)
{
    const HWND toolbar = findDescendant(session().mainWindow, toolbarClass, toolbarTitle);
    if (toolbar == nullptr) {
        return;
    }
    // AccessibleObjectFromWindow fails with CO_E_NOTINITIALIZED on a thread
    // without an apartment, and the caller's thread may well have none.
    const ApartmentScope apartment;
    if (apartment.usable()) {
        pressNamedElement(toolbar, name);
    }
}

}  // namespace zelvo
