// Pressing the client's toolbar buttons, which are no windows of their own,
// through the toolbar's accessible object.
#pragma once
#include <windows.h>

#include <string>

#include "client/client.h"

namespace zelvo {

// Does the default action (the press) of the first available element named
// `name` in the main toolbar below the client's main window. Does nothing
// when the toolbar or the button is missing. The accessible calls go to the
// client's thread and cannot be bounded one by one, so the press runs on a
// thread of its own in an apartment of its own, and the caller gives up when
// one call is not answered within the channel's bound: the channel is then
// lost, and the press stops before its next call. The caller's thread and
// its apartment are not touched.
void pressToolbarButton(const Client& client, const std::string& name);

}  // namespace zelvo
