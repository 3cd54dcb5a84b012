// The test programs' entry point. The gtest thread plays the caller inside
// the trading client: it has no COM apartment of its own, as a plain worker
// thread of the host would not.
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
