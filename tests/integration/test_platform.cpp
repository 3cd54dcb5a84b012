// What every other suite takes for granted of the bench: the ANSI code page
// and the GBK bytes the sources compile to.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

TEST(Platform, AnsiCodePageIsGbk)
{
    ASSERT_EQ(GetACP(), 936u) << "run Wine with LC_ALL=zh_CN.UTF-8";
    EXPECT_EQ(std::string("中文"), "\xd6\xd0\xce\xc4") << "sources must compile to GBK";
}
