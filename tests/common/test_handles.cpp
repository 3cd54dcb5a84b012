// The handle owner template: every value is closed exactly once, whichever
// way ownership moves, and the kernel handle's two "none" values.
#include <gtest/gtest.h>

#include <vector>

#include "handles.h"

using zelvo_common::UniqueAny;

namespace {

std::vector<int> closed;

struct CountingTraits {
    using Value = int;
    static constexpr Value none() noexcept { return 0; }
    static bool isValid(Value value) noexcept { return value != 0; }
    static void close(Value value) noexcept { closed.push_back(value); }
};
using Owner = UniqueAny<CountingTraits>;

class Handles : public testing::Test {
protected:
    void SetUp() override { closed.clear(); }
};

// Writes `value` through an out-parameter, as OpenProcessToken does.
void produce(int* out, int value)
{
    *out = value;
}

}  // namespace

TEST_F(Handles, ClosesOnceWhenTheOwnerGoes)
{
    {
        const Owner owner(7);
        EXPECT_TRUE(owner);
        EXPECT_EQ(owner.get(), 7);
    }
    EXPECT_EQ(closed, std::vector<int>{7});
    { const Owner none; }
    EXPECT_EQ(closed, std::vector<int>{7}) << "an empty owner closes nothing";
}

TEST_F(Handles, MovesLeaveTheSourceEmptyAndCloseWhatTheTargetHeld)
{
    {
        Owner first(1);
        Owner second(std::move(first));
        EXPECT_FALSE(first);
        EXPECT_EQ(second.get(), 1);
        Owner third(3);
        third = std::move(second);
        EXPECT_EQ(closed, std::vector<int>{3}) << "the target's old value is closed at the assignment";
        EXPECT_FALSE(second);
        EXPECT_EQ(third.get(), 1);
        Owner& alias = third;
        third = std::move(alias);
        EXPECT_EQ(third.get(), 1) << "a move onto itself keeps the value";
    }
    EXPECT_EQ(closed, (std::vector<int>{3, 1}));
}

TEST_F(Handles, ResetReleaseAndPut)
{
    Owner owner(1);
    owner.reset(2);
    EXPECT_EQ(closed, std::vector<int>{1});
    const int released = owner.release();
    EXPECT_EQ(released, 2);
    EXPECT_FALSE(owner);
    produce(owner.put(), 4);
    EXPECT_EQ(owner.get(), 4);
    produce(owner.put(), 5);
    EXPECT_EQ(closed, (std::vector<int>{1, 4})) << "put closes what was held before it is written";
    owner.reset();
    EXPECT_EQ(closed, (std::vector<int>{1, 4, 5}));
}

TEST_F(Handles, KernelHandleIsClosedAndBothNoneValuesAreEmpty)
{
    EXPECT_FALSE(zelvo_common::UniqueHandle(nullptr));
    EXPECT_FALSE(zelvo_common::UniqueHandle(INVALID_HANDLE_VALUE));
    zelvo_common::UniqueEvent event = zelvo_common::createEvent(zelvo_common::EventReset::Manual, true);
    ASSERT_TRUE(event);
    const HANDLE raw = event.get();
    DWORD flags = 0;
    EXPECT_TRUE(GetHandleInformation(raw, &flags));
    event.reset();
    EXPECT_FALSE(GetHandleInformation(raw, &flags)) << "the handle was closed";
}
