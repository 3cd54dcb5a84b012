// Common controls version 6 for the windows a thread makes, as an
// application manifest gives them to a program: an activation context that
// names the version 6 assembly, made once per process from a manifest file,
// and activated on the thread for the rest of its life.
#pragma once

namespace substitute {

// False when the context could not be made or activated (the thread then
// makes version 5 controls).
bool useCommonControls6OnThisThread();

}  // namespace substitute
