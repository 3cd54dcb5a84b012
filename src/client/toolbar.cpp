#include "client/toolbar.h"

#include "client/client_ui.h"
#include "client/main_frame.h"
#include "platform/accessible_search.h"
#include "platform/com.h"

namespace zelvo {

namespace {

// Every COM object of the press lives in this function, so all are released
// before the caller's apartment scope ends.
void pressNamedElement(HWND toolbar, const std::string& name)
{
    ComPtr<IAccessible> root;
    if (FAILED(AccessibleObjectFromWindow(toolbar, OBJID_WINDOW, accessibleIid(), root.putVoid())) || !root) {
        return;
    }
    if (const auto found = findAccessibleChild(root.get(), name)) {
        (void)found->object->accDoDefaultAction(childVariant(found->childId));
    }
}

}  // namespace

void pressToolbarButton(HWND mainWindow, const std::string& name)
{
    const HWND toolbar = findDescendant(mainWindow, client_ui::toolbarClass, client_ui::toolbarTitle);
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
