#include "client/toolbar.h"

#include "client/client_ui.h"
#include "client/main_frame.h"
#include "platform/accessible_search.h"
#include "platform/bounded_job.h"
#include "platform/com.h"

namespace zelvo {

namespace {

// The press, on the job's thread. Every COM object lives in this function,
// so all are released before its apartment ends.
void pressOnThisThread(HWND toolbar, const std::string& name, JobSteps& steps)
{
    // AccessibleObjectFromWindow fails with CO_E_NOTINITIALIZED on a thread
    // without an apartment.
    const ApartmentScope apartment;
    ComPtr<IAccessible> root;
    if (!apartment.usable() || !steps.next() ||
        FAILED(AccessibleObjectFromWindow(toolbar, OBJID_WINDOW, accessibleIid(), root.putVoid())) || !root) {
        return;
    }
    const auto found = findAccessibleChild(root.get(), name, [&steps] { return steps.next(); });
    if (found && steps.next()) {
        (void)found->object->accDoDefaultAction(childVariant(found->childId));
    }
}

}  // namespace

void pressToolbarButton(const Client& client, const std::string& name)
{
    const HWND toolbar = findDescendant(client.channel, client.mainWindow, client_ui::toolbarClass,
                                        client_ui::toolbarTitle);
    if (toolbar == nullptr) {
        return;
    }
    const JobEnd end = runBoundedJob(
        [toolbar, name](JobSteps& steps) { pressOnThisThread(toolbar, name, steps); }, client.channel.answerMs());
    if (end == JobEnd::GivenUp) {
        client.channel.markLost();
    }
}

}  // namespace zelvo
