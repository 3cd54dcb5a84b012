// The search of an accessible tree for an element by name, for elements
// that are no windows of their own (a toolbar's buttons).
#pragma once
#include <windows.h>
#include <oleacc.h>

#include <functional>
#include <optional>
#include <string>

#include "platform/com.h"

namespace zelvo {

// One element of an accessible tree: a full object (`childId` CHILDID_SELF),
// or the simple element `childId` of `object`.
struct AccessibleElement {
    ComPtr<IAccessible> object;
    long childId = CHILDID_SELF;
};

// IAccessible's interface id from its declaration: the x86-64 import library
// of oleacc resolves IID_IAccessible to a code thunk instead of the GUID.
[[nodiscard]] const IID& accessibleIid() noexcept;

// A VT_I4 VARIANT holding a child id, as the IAccessible methods take it.
[[nodiscard]] VARIANT childVariant(long childId) noexcept;

// Asked before each call into the elements' thread; false ends the search
// there, with nothing found.
using AccessibleGate = std::function<bool()>;

// The first element below `parent`, depth first in pre-order and in the
// order the parent yields its children, whose name is `name` (whole,
// byte-exact text in the process's code page). An unavailable element
// (disabled) is passed over together with its subtree.
[[nodiscard]] std::optional<AccessibleElement> findAccessibleChild(
    IAccessible* parent, const std::string& name, const AccessibleGate& gate = [] { return true; });

}  // namespace zelvo
