// Pressing the client's toolbar buttons, which are no windows of their own,
// through the toolbar's accessible object; with the search of an accessible
// tree and the role and state texts that search and its callers read.
#pragma once
#include <windows.h>
#include <oleacc.h>

#include <optional>
#include <string>

#include "platform/com.h"

namespace zelvo {

// What findAccessibleChild compares, each as a whole, byte-exact text; an
// absent filter matches every element.
struct AccessibleFilter {
    std::optional<std::string> name;
    std::optional<std::string> role;         // as accessibleRoleText gives it
    std::optional<std::string> windowClass;  // class of the element's window, or "No window"
};

// One element of an accessible tree: a full object (`childId` CHILDID_SELF),
// or the simple element `childId` of `object`.
struct AccessibleElement {
    ComPtr<IAccessible> object;
    long childId = CHILDID_SELF;
};

// The element's role in the system's language (GetRoleTextA), or the text the
// element gives as its role; at most 255 bytes, empty when it has none.
[[nodiscard]] std::string accessibleRoleText(IAccessible* element, long childId);

// The element's state as the system's texts of its set state bits (bits 0 to
// 27, ascending, joined by commas), or the text the element gives as its
// state; at most 255 bytes, cut between characters.
[[nodiscard]] std::string accessibleStateText(IAccessible* element, long childId);

// The first element below `parent`, depth first in pre-order and in the
// order the parent yields its children, that matches `filter`. An
// unavailable element (disabled) is passed over together with its subtree.
[[nodiscard]] std::optional<AccessibleElement> findAccessibleChild(IAccessible* parent,
                                                                   const AccessibleFilter& filter);

// Does the default action (the press) of the first available element named
// `name` in the main toolbar below the session's main window. Does nothing
// when the toolbar or the button is missing. Works on a calling thread without
// a COM apartment: one is set up for the press and removed afterwards.
void pressToolbarButton(const std::string& name);

}  // namespace zelvo
