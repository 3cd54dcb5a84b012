// Where an export's time goes, measured without touching the library: on
// the caller's thread, every window, message, sleep and timer-period
// function that zelvo.dll imports is redirected (in its import table)
// through a timing wrapper, so each call's count and time is known,
// messages by number. A message sent to the client's window includes the
// client's handling of it.
// Hooks on the client's thread were tried and left out: under Wine each
// hook call is a request to the window server, which slowed every message
// of the client several times over and distorted what was measured.
// The profile is meant for the benchmark's single calling thread. It wraps
// whatever the import slots hold when it starts (a WindowsTimer's Sleep, for
// one), so it must end before a redirection made earlier does.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "import_redirect.h"

namespace bench {

class CallProfile {
public:
    CallProfile();  // redirects zelvo.dll's imports until it ends
    CallProfile(const CallProfile&) = delete;
    CallProfile& operator=(const CallProfile&) = delete;

    // Times `work` once per run and prints where the time went, per call.
    void measure(const std::string& title, int runs, const std::function<void()>& work);

    // From the last measure: the time per run of the wall clock and of one
    // call ("Sleep", "SendMessageA WM_NOTIFY", ...).
    [[nodiscard]] double wallMsPerRun() const;
    [[nodiscard]] double msPerRun(const std::string& call) const;

private:
    RedirectedImports redirects_;
};

}  // namespace bench
