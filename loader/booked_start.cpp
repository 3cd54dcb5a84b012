#include "booked_start.h"

#include "client_process.h"
#include "port_book.h"
#include "service_probe.h"

namespace zelvo_load {

StartOutcome startAtBookedPort(const BookedStartRequest& request, std::wstring& warning)
{
    StartOutcome outcome;
    if (zelvo_host::Published running; findRunningService(request.processId, running)) {
        // Told as startInClient tells it, before a port is given to the client's program.
        return startInClient({request.processId, running.port, request.dataDir, request.pollMs});
    }
    const std::wstring bookPath = request.dataDir + L"\\" + portBookName;
    std::wstring problem;
    PortBook book = readPortBook(bookPath, problem);
    if (!problem.empty()) {
        outcome.code = Usage;
        outcome.message = problem;
        return outcome;
    }
    const std::wstring program = programPath(request.processId);
    if (program.empty()) {
        outcome.code = NoClient;
        outcome.message = L"the program file of process " + std::to_wstring(request.processId) +
                          L" cannot be read, and its port goes by it; give the port with --port and --pid";
        return outcome;
    }
    bool added = false;
    const unsigned port = choosePort(book, program, runningServicePorts(), request.firstPort,
                                     [](unsigned candidate) { return portIsFree(static_cast<std::uint16_t>(candidate)); },
                                     added);
    if (port == 0) {
        outcome.code = PortTaken;
        outcome.message = L"no port on 127.0.0.1 is free from " + std::to_wstring(request.firstPort) + L" up";
        return outcome;
    }
    outcome = startInClient({request.processId, port, request.dataDir, request.pollMs});
    if (outcome.code == Started && added && !writePortBook(bookPath, book)) {
        warning = L"cannot write " + bookPath + L": the client's program may get another port at its next start";
    }
    return outcome;
}

}  // namespace zelvo_load
