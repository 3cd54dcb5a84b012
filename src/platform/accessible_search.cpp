#include "platform/accessible_search.h"

#include <utility>

namespace zelvo {

namespace {

// The state text of a disabled element, for elements that give their state as text.
constexpr char unavailableState[] = "unavailable";
constexpr std::size_t maxTextBytes = 255;
// Accessible trees are shallow; the bound only guards against a cycle.
constexpr int maxSearchDepth = 32;

// One search: the name looked for, and the gate asked before every call into
// the elements' thread. Once the gate has said no, nothing more is called.
class Search {
public:
    Search(const std::string& name, const AccessibleGate& gate) noexcept : name_(name), gate_(gate) {}

    std::optional<AccessibleElement> searchChildren(IAccessible* parent, int depth);

private:
    [[nodiscard]] bool mayCall();
    [[nodiscard]] bool isUnavailable(IAccessible* element, long childId);
    [[nodiscard]] bool isNamed(IAccessible* element, long childId);
    [[nodiscard]] ComPtr<IEnumVARIANT> childEnumerator(IAccessible* parent);
    [[nodiscard]] bool readChild(IEnumVARIANT* children, long index, VariantGuard& child);
    [[nodiscard]] ComPtr<IAccessible> childObject(IAccessible* parent, const VARIANT& child);
    std::optional<AccessibleElement> visitChild(IAccessible* parent, const VARIANT& child, int depth);

    const std::string& name_;
    const AccessibleGate& gate_;
    bool stopped_ = false;
};

bool Search::mayCall()
{
    stopped_ = stopped_ || !gate_();
    return !stopped_;
}

// Disabled elements are passed over. The numeric state is tested by its bit,
// as the state texts are in the system's language; an element that gives its
// state as text is tested for the English word.
bool Search::isUnavailable(IAccessible* element, long childId)
{
    VariantGuard state;
    if (!mayCall() || FAILED(element->get_accState(childVariant(childId), state.put()))) {
        return false;
    }
    if (state.get().vt == VT_I4) {
        return (state.get().lVal & STATE_SYSTEM_UNAVAILABLE) != 0;
    }
    return state.get().vt == VT_BSTR &&
           narrowAcp(state.get().bstrVal, maxTextBytes).find(unavailableState) != std::string::npos;
}

bool Search::isNamed(IAccessible* element, long childId)
{
    BstrGuard name;
    if (!mayCall() || FAILED(element->get_accName(childVariant(childId), name.put()))) {
        return false;
    }
    return narrowAcp(name.get(), maxTextBytes) == name_;
}

// The parent's enumerator of its children, rewound; null when it has none.
ComPtr<IEnumVARIANT> Search::childEnumerator(IAccessible* parent)
{
    ComPtr<IEnumVARIANT> children;
    if (!mayCall() || FAILED(parent->QueryInterface(IID_IEnumVARIANT, children.putVoid())) || !children) {
        return {};
    }
    if (mayCall()) {
        (void)children->Reset();
    }
    return children;
}

// The `index`-th child (from 1) as the parent yields it: the enumerator's next
// value, or child id `index` when there is no enumerator.
bool Search::readChild(IEnumVARIANT* children, long index, VariantGuard& child)
{
    if (children == nullptr) {
        *child.put() = childVariant(index);
        return true;
    }
    ULONG fetched = 0;
    return mayCall() && children->Next(1, child.put(), &fetched) == S_OK && fetched == 1;
}

// The full child object a child value stands for: the object handed over, or
// the one the parent gives for the child id. Null for a simple element.
ComPtr<IAccessible> Search::childObject(IAccessible* parent, const VARIANT& child)
{
    ComPtr<IDispatch> dispatch;
    if (child.vt == VT_I4 && mayCall()) {
        (void)parent->get_accChild(child, dispatch.put());
    } else if (child.vt == VT_DISPATCH) {
        dispatch = ComPtr<IDispatch>::retain(child.pdispVal);
    }
    ComPtr<IAccessible> object;
    if (dispatch && mayCall()) {
        (void)dispatch->QueryInterface(accessibleIid(), object.putVoid());
    }
    return object;
}

// Tests one child and then searches its subtree, unless it is disabled.
std::optional<AccessibleElement> Search::visitChild(IAccessible* parent, const VARIANT& child, int depth)
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
    if (isNamed(element, childId)) {
        return object ? AccessibleElement{std::move(object), CHILDID_SELF}
                      : AccessibleElement{ComPtr<IAccessible>::retain(parent), childId};
    }
    return object ? searchChildren(object.get(), depth + 1) : std::nullopt;
}

std::optional<AccessibleElement> Search::searchChildren(IAccessible* parent, int depth)
{
    long count = 0;
    if (depth > maxSearchDepth || !mayCall() || FAILED(parent->get_accChildCount(&count))) {
        return std::nullopt;
    }
    const ComPtr<IEnumVARIANT> enumerator = childEnumerator(parent);
    for (long index = 1; index <= count && !stopped_; ++index) {
        VariantGuard value;
        if (!readChild(enumerator.get(), index, value)) {
            break;
        }
        if (auto found = visitChild(parent, value.get(), depth)) {
            return stopped_ ? std::nullopt : std::move(found);
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

std::optional<AccessibleElement> findAccessibleChild(IAccessible* parent, const std::string& name,
                                                     const AccessibleGate& gate)
{
    if (parent == nullptr) {
        return std::nullopt;
    }
    return Search(name, gate).searchChildren(parent, 0);
}

}  // namespace zelvo
