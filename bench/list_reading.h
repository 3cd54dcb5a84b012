// The floors the library's table read is compared with: the same list-view
// messages with no library around them, from inside the client's process
// and, as tools outside the client must, from another process.
#pragma once
#include <windows.h>

#include <string>

namespace bench {

// Header count, every caption, the row count and every cell, one message
// each, into the caller's memory. Returns the bytes read.
size_t readTable(HWND list);

// The same from another process: each message goes through a buffer
// allocated in the client with VirtualAllocEx, written and read back with
// WriteProcessMemory and ReadProcessMemory.
size_t readTableFromOutside(HWND list);

}  // namespace bench
