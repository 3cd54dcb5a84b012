#include "gate.h"

#include "ui_thread.h"

namespace substitute {

Gate::Gate()
    : opened_(zelvo_common::createEvent(zelvo_common::EventReset::Manual, true)),
      held_(zelvo_common::createEvent(zelvo_common::EventReset::Manual, false))
{
}

void Gate::close(Moment moment) noexcept
{
    at_ = moment;
    ResetEvent(held_.get());
    ResetEvent(opened_.get());
}

void Gate::open() noexcept
{
    SetEvent(opened_.get());
}

bool Gate::awaitHeld(DWORD boundMs) const noexcept
{
    return WaitForSingleObject(held_.get(), boundMs) == WAIT_OBJECT_0;
}

void Gate::pass(Moment moment) noexcept
{
    if (moment != at_ || WaitForSingleObject(opened_.get(), 0) == WAIT_OBJECT_0) {
        return;
    }
    SetEvent(held_.get());
    (void)pumpUntil(opened_.get(), holdLimitMs);
}

}  // namespace substitute
