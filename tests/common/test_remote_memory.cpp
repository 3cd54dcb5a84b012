// Memory in another process, tried on this one: what is written at an
// offset reads back, and memory left to the process stays committed.
#include <gtest/gtest.h>

#include <cstring>

#include "remote_memory.h"

using zelvo_common::RemoteMemory;

TEST(RemoteMemory, WritesAndReadsAtOffsets)
{
    RemoteMemory block(GetCurrentProcess(), 64);
    ASSERT_TRUE(block);
    ASSERT_TRUE(block.write("abcd", 4, 10));
    char back[4] = {};
    ASSERT_TRUE(block.read(back, sizeof back, 10));
    EXPECT_EQ(std::memcmp(back, "abcd", 4), 0);
}

TEST(RemoteMemory, IsReleasedUnlessLeftToTheProcess)
{
    void* released = nullptr;
    void* left = nullptr;
    {
        RemoteMemory owned(GetCurrentProcess(), 64);
        RemoteMemory kept(GetCurrentProcess(), 64);
        released = owned.address();
        left = kept.address();
        kept.leave();
        EXPECT_FALSE(kept.write("x", 1)) << "a block left to the process is no longer written through the owner";
    }
    MEMORY_BASIC_INFORMATION state = {};
    ASSERT_NE(VirtualQuery(released, &state, sizeof state), 0u);
    EXPECT_NE(state.State, static_cast<DWORD>(MEM_COMMIT));
    ASSERT_NE(VirtualQuery(left, &state, sizeof state), 0u);
    EXPECT_EQ(state.State, static_cast<DWORD>(MEM_COMMIT));
    VirtualFree(left, 0, MEM_RELEASE);
}
