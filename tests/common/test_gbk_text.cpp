// The GBK converter. This file is UTF-8 and compiled with -fexec-charset=GBK:
// a plain literal is GBK in the binary, a u8 literal UTF-8.
#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <string>

#include "gbk_text.h"

using namespace zelvo_common;

namespace {

[[nodiscard]] bool isUtf8(const std::string& text)
{
    return text.empty() || MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                                               nullptr, 0) > 0;
}

}  // namespace

TEST(GbkText, Utf8AndGbkRoundTrip)
{
    EXPECT_EQ(utf8ToGbk(u8"浦发银行 600000"), std::optional<std::string>("浦发银行 600000"));
    EXPECT_EQ(gbkToUtf8("浦发银行 600000"), u8"浦发银行 600000");
    EXPECT_EQ(utf8ToGbk(""), std::optional<std::string>(""));
    EXPECT_EQ(gbkToUtf8(""), "");
}

// A code or a password must reach the client as typed or not at all.
TEST(GbkText, TextGbkCannotWriteIsRefusedNotReplaced)
{
    EXPECT_EQ(utf8ToGbk(u8"600000\U0001F600"), std::nullopt) << "an emoji";
    EXPECT_EQ(utf8ToGbk(u8"\u0E01"), std::nullopt) << "a Thai letter";
    EXPECT_EQ(utf8ToGbk("\xff\xfe"), std::nullopt) << "not UTF-8";
    EXPECT_EQ(utf8ToGbk("\xe4\xb8"), std::nullopt) << "a sequence cut short";
    EXPECT_EQ(utf8ToGbk("\x80"), std::nullopt) << "a lone continuation byte";
}

// The client's texts are shown whatever bytes they hold.
TEST(GbkText, StrayGbkBytesStillGiveUtf8)
{
    const std::string loneLead = gbkToUtf8(std::string("6000") + '\xd6');
    EXPECT_EQ(loneLead.substr(0, 4), "6000");
    EXPECT_GT(loneLead.size(), 4u) << "the stray byte is replaced, not dropped";
    EXPECT_TRUE(isUtf8(loneLead));
    EXPECT_TRUE(isUtf8(gbkToUtf8("\x81\x20\xff\xfe")));
}

TEST(GbkText, WideConversions)
{
    EXPECT_EQ(gbkToWide("中文"), L"\u4e2d\u6587");
    EXPECT_EQ(gbkToWide(""), L"");
    ASSERT_EQ(GetACP(), 936u) << "run Wine with LC_ALL=zh_CN.UTF-8";
    EXPECT_EQ(wideToAnsiForDisplay(L"\u4e2d\u6587 ok"), "中文 ok");
    EXPECT_EQ(wideToAnsiForDisplay(L"a\u0E01b"), "a?b") << "shown with the default character";
}
