// The client's own time for an order and for a cancel: the same clicks made
// on the client's own window thread, and every prompt answered by that
// thread itself. No cross-thread message and no polling is involved, so an
// export's time less this floor is what the library adds.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "client.h"
#include "handles.h"

namespace bench {

// When the client's thread answers a prompt: as soon as it is shown (before
// it is painted), or once the prompt's modal loop is idle (painted).
enum class AnswerWhen { Shown, Idle };

class ClientFloor {
public:
    explicit ClientFloor(substitute::Client& client);
    ~ClientFloor();
    ClientFloor(const ClientFloor&) = delete;
    ClientFloor& operator=(const ClientFloor&) = delete;

    // From the order button's click to the answer of the last of `prompts`
    // prompts, on the order page `caption`. Negative when it did not finish.
    double orderMs(const std::string& caption, int prompts, AnswerWhen when);

    // The query button's click to the client's status text (the refresh a
    // cancel starts with), plus the double click on row 0 to the answer of
    // the last of `prompts` prompts, on the page `caption`.
    double cancelMs(const std::string& caption, int prompts, AnswerWhen when);

private:
    bool awaitAnswers(double& lastAnswerMs);

    substitute::Client& client_;
    zelvo_common::UniqueEvent done_;
    HHOOK hook_ = nullptr;
    HHOOK secondHook_ = nullptr;  // on the client's second thread, when it shows prompts
};

}  // namespace bench
