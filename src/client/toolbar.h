// Pressing the client's toolbar buttons, which are no windows of their own,
// through the toolbar's accessible object.
#pragma once
#include <windows.h>

#include <string>

namespace zelvo {

// Does the default action (the press) of the first available element named
// `name` in the main toolbar below `mainWindow`. Does nothing when the
// toolbar or the button is missing. Works on a calling thread without a COM
// apartment: one is set up for the press and removed afterwards.
void pressToolbarButton(HWND mainWindow, const std::string& name);

}  // namespace zelvo
