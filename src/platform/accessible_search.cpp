#include "platform/accessible_search.h"

#include <utility>

namespace zelvo {

namespace {

// The state text of a disabled element, for elements that give their state as text.
constexpr char unavailableState[] = "unavailable";
constexpr std::size_t maxTextBytes = 255;
// Accessible trees are shallow; the bound only guards against a cycle.
constexpr int maxSearchDepth = 32;

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
        (void)dispatch->QueryInterface(accessibleIid(), object.putVoid());
    }
    return object;
}

std::optional<AccessibleElement> searchChildren(IAccessible* parent, const std::string& name, int depth);

// Tests one child and then searches its subtree, unless it is disabled.
std::optional<AccessibleElement> searchChild(IAccessible* parent, const VARIANT& child,
                                             const std::string& name, int depth)
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
    if (accessibleName(element, childId) == name) {
        return object ? AccessibleElement{std::move(object), CHILDID_SELF}
                      : AccessibleElement{ComPtr<IAccessible>::retain(parent), childId};
    }
    return object ? searchChildren(object.get(), name, depth + 1) : std::nullopt;
}

std::optional<AccessibleElement> searchChildren(IAccessible* parent, const std::string& name, int depth)
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
        if (auto found = searchChild(parent, child.get(), name, depth)) {
            return found;
        }
    }
    return std::nullopt;
}

}  // namespace

const IID& accessibleIid() noexcept
{
    return __uuidof(IAccessible);
}

VARIANT childVariant(long childId) noexcept
{
    VARIANT child;
    VariantInit(&child);
    child.vt = VT_I4;
    child.lVal = childId;
    return child;
}

std::optional<AccessibleElement> findAccessibleChild(IAccessible* parent, const std::string& name)
{
    if (parent == nullptr) {
        return std::nullopt;
    }
    return searchChildren(parent, name, 0);
}

}  // namespace zelvo
