// A job run on a thread of its own, for calls that cannot be given a bound
// themselves (a COM call into another apartment waits as long as that
// apartment's thread does). The caller waits while the job keeps making
// steps, and gives up when one step takes longer than the bound.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>

namespace zelvo {

struct JobState;

// The job's side: before each step that may wait on another thread, it asks
// whether to go on.
class JobSteps {
public:
    explicit JobSteps(std::shared_ptr<JobState> state) noexcept : state_(std::move(state)) {}

    // False once the caller has given up: the job must stop there, taking
    // no further step.
    [[nodiscard]] bool next() noexcept;

private:
    std::shared_ptr<JobState> state_;
};

enum class JobEnd {
    Finished,
    GivenUp,     // a step took longer than the bound; the job stops at its next step
    NotStarted,  // no thread could be made; the job did not run
};

// Runs `job` on a new thread and waits for it. A job given up on finishes on
// its own thread later, once its step returns: it must own everything it
// uses, and the library stays loaded until it has.
[[nodiscard]] JobEnd runBoundedJob(std::function<void(JobSteps&)> job, DWORD stepMs) noexcept;

}  // namespace zelvo
