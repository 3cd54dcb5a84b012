#include "platform/bounded_job.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <utility>

namespace zelvo {

// What the waiting thread and the job's thread share. Either may be the last
// to let go of it.
struct JobState {
    std::function<void(JobSteps&)> job;
    HMODULE library = nullptr;  // held for the job's thread, freed as it exits
    std::mutex mutex;
    std::condition_variable changed;
    ULONGLONG lastStepTick = GetTickCount64();
    bool givenUp = false;
    bool finished = false;
};

bool JobSteps::next() noexcept
{
    const std::lock_guard<std::mutex> lock(state_->mutex);
    if (state_->givenUp) {
        return false;
    }
    state_->lastStepTick = GetTickCount64();
    return true;
}

namespace {

void finish(JobState& state) noexcept
{
    const std::lock_guard<std::mutex> lock(state.mutex);
    state.finished = true;
    state.changed.notify_all();
}

DWORD WINAPI runJob(void* parameter) noexcept
{
    HMODULE library = nullptr;
    {
        std::shared_ptr<JobState> state(std::move(*static_cast<std::shared_ptr<JobState>*>(parameter)));
        delete static_cast<std::shared_ptr<JobState>*>(parameter);
        library = state->library;
        try {
            JobSteps steps(state);
            state->job(steps);
        } catch (...) {
            // The job failed; the caller sees it finished and whatever it left.
        }
        finish(*state);
    }
    // The code of this function must stay loaded until the thread has left it.
    FreeLibraryAndExitThread(library, 0);
}

// A reference to the module this code is in, so that an unload while a job
// runs waits for the job's thread.
HMODULE holdLibrary() noexcept
{
    HMODULE library = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&runJob), &library);
    return library;
}

bool startThread(const std::shared_ptr<JobState>& state) noexcept
{
    std::shared_ptr<JobState>* handedOver = new (std::nothrow) std::shared_ptr<JobState>(state);
    if (handedOver == nullptr) {
        return false;
    }
    const HANDLE thread = CreateThread(nullptr, 0, runJob, handedOver, 0, nullptr);
    if (thread == nullptr) {
        delete handedOver;
        return false;
    }
    CloseHandle(thread);
    return true;
}

JobEnd waitForJob(JobState& state, DWORD stepMs)
{
    std::unique_lock<std::mutex> lock(state.mutex);
    while (!state.finished) {
        const ULONGLONG idle = GetTickCount64() - state.lastStepTick;
        if (idle >= stepMs) {
            state.givenUp = true;
            return JobEnd::GivenUp;
        }
        state.changed.wait_for(lock, std::chrono::milliseconds(stepMs - idle));
    }
    return JobEnd::Finished;
}

}  // namespace

JobEnd runBoundedJob(std::function<void(JobSteps&)> job, DWORD stepMs) noexcept
{
    std::shared_ptr<JobState> state;
    try {
        state = std::make_shared<JobState>();
        state->job = std::move(job);
    } catch (...) {
        return JobEnd::NotStarted;
    }
    state->library = holdLibrary();
    if (state->library == nullptr || !startThread(state)) {
        if (state->library != nullptr) {
            FreeLibrary(state->library);
        }
        return JobEnd::NotStarted;
    }
    try {
        return waitForJob(*state, stepMs);
    } catch (...) {
        // Only a failing mutex or condition variable gets here, which the
        // system does not do in practice: the job is then left to finish.
        return JobEnd::GivenUp;
    }
}

}  // namespace zelvo
