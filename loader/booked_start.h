// Starting the service at the port the book of ports gives the client's
// program (port_book.h): the book is read, the port chosen, the service
// started, and a port new to the book written to it once its service runs.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "service_start.h"

namespace zelvo_load {

struct BookedStartRequest {
    DWORD processId = 0;
    std::wstring dataDir;    // resolved: full path, no trailing separator
    unsigned firstPort = 0;  // where the ports of programs new to the book start
    std::uint32_t pollMs = zelvo_host::defaultPollMs;
};

// The start's outcome; `warning` says when the service runs but its port
// could not be kept in the book.
[[nodiscard]] StartOutcome startAtBookedPort(const BookedStartRequest& request, std::wstring& warning);

}  // namespace zelvo_load
