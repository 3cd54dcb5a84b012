// Keeping the library loaded for good once the client may hold its code or
// its memory: a window procedure of ours in front of a client's list, or a
// pointer into the library's image in a message the client may still handle
// after the library stopped waiting for it. A host that unloads the library
// then leaves it mapped, instead of leaving the client to return into
// unmapped code or read unmapped memory.
#pragma once

namespace zelvo {

// Pins the module this code is in: FreeLibrary no longer unloads it, for
// the rest of the process's life. Cheap after the first call.
void pinModule() noexcept;

}  // namespace zelvo
