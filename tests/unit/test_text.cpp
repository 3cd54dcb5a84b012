// The pure text functions on GBK bytes. This file is UTF-8 and compiled with
// -fexec-charset=GBK, so every Chinese literal below is GBK in the binary;
// single bytes that matter are written as hex escapes.
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <string>
#include <vector>

#include "text/order_texts.h"
#include "zelvo_answers.h"
#include "text/table_text.h"
#include "text/gbk_text.h"

namespace zelvo {
namespace {

using Texts = std::vector<std::string>;

Texts split(const std::string& source, const std::string& delimiters)
{
    Texts out;
    splitText(out, source, delimiters);
    return out;
}

TEST(GbkText, FirstDigitRunTakesTheFirstWholeRun)
{
    EXPECT_EQ(firstDigitRun("委托成功，合同号是12345，请查询"), "12345");
    EXPECT_EQ(firstDigitRun("a12b34"), "12");
    EXPECT_EQ(firstDigitRun("编号0079"), "0079");
    EXPECT_EQ(firstDigitRun("中12文"), "12");
    EXPECT_EQ(firstDigitRun("没有数字"), "");
    EXPECT_EQ(firstDigitRun(""), "");
}

TEST(GbkText, FirstDigitRunNeverStartsOnTheSecondByteOfACharacter)
{
    // 0x81 takes the '1' after it as its second byte.
    EXPECT_EQ(firstDigitRun("\x81" "123"), "23");
    EXPECT_EQ(firstDigitRun("\x81"), "");
    EXPECT_EQ(firstDigitRun("5\x81"), "5");
}

TEST(GbkText, SplitTextDropsEmptyTokensAndClearsTheOutput)
{
    EXPECT_EQ(split("a  b c", " "), (Texts{"a", "b", "c"}));
    EXPECT_EQ(split("  a ", " "), (Texts{"a"}));
    EXPECT_EQ(split("   ", " "), Texts{});
    EXPECT_EQ(split("", " "), Texts{});
    EXPECT_EQ(split("abc", " "), (Texts{"abc"}));
    EXPECT_EQ(split("a,b;;c", ",;"), (Texts{"a", "b", "c"}));

    Texts out{"old", "older"};
    splitText(out, "资金账号 123456", " ");
    EXPECT_EQ(out, (Texts{"资金账号", "123456"}));
    splitText(out, " ", " ");
    EXPECT_TRUE(out.empty());
}

TEST(GbkText, SplitTextKeepsDoubleByteCharactersWhole)
{
    // The second bytes 0x7C ('|') and 0x5C ('\') are not delimiters there.
    EXPECT_EQ(split("ab|\x81|cd|中文", "|"), (Texts{"ab", "\x81|cd", "中文"}));
    EXPECT_EQ(split("中\\\x81\\\\end", "\\"), (Texts{"中", "\x81\\", "end"}));
    // A double-byte delimiter matches only the whole character.
    EXPECT_EQ(split("甲，乙", "，"), (Texts{"甲", "乙"}));
    EXPECT_EQ(split("\xA3\xAC" "a\xA3", "\xA3\xAC"), (Texts{"a\xA3"}));
    // A lead byte at the very end is a character of its own.
    EXPECT_EQ(split("ab\x81", "\x81"), (Texts{"ab"}));
}

TEST(GbkText, FindTextMatchesOnCharacterBoundariesOnly)
{
    const std::string text = "中文";  // D6 D0 CE C4
    EXPECT_EQ(findText(text, "\xD0\xCE"), std::string::npos);
    EXPECT_EQ(findText(text + "\xD0\xCE", "\xD0\xCE"), 4u);
    EXPECT_EQ(findText("a中", "a\xD6"), std::string::npos);
    EXPECT_EQ(findText("a\xD6", "a\xD6"), 0u);
    EXPECT_EQ(findText("委托合同号是5", "合同号是"), 4u);
    EXPECT_EQ(findText("abc", "abcd"), std::string::npos);
    EXPECT_TRUE(containsText("交易确认-买入", "交易确认"));
    EXPECT_FALSE(containsText("交易", "交易确认"));
}

TEST(GbkText, FindTextStartsAtTheGivenPosition)
{
    EXPECT_EQ(findText("abab", "ab", 1), 2u);
    EXPECT_EQ(findText("abab", "ab", 4), std::string::npos);
    EXPECT_EQ(findText("abab", "", 5), std::string::npos);
    // Position 1 is inside 中, so the empty needle matches at the next boundary.
    EXPECT_EQ(findText("中a", "", 1), 2u);
    EXPECT_EQ(findText("中中", "中", 1), 2u);
}

TEST(GbkText, ExtractBetweenFollowsRunsAndStopsAtAMissingClose)
{
    const std::string line = "X A:1 B:2 ";
    EXPECT_EQ(extractBetween(line, ' ', ':'), (Texts{"A", "B"}));
    EXPECT_EQ(extractBetween(line, ':', ' '), (Texts{"1", "2"}));
    EXPECT_EQ(extractBetween("x   A:1", ' ', ':'), (Texts{"A"}));
    EXPECT_EQ(extractBetween("x A:1 B:2", ':', ' '), (Texts{"1"}));
    EXPECT_EQ(extractBetween("x :", ' ', ':'), (Texts{""}));
    EXPECT_EQ(extractBetween("no delimiters", '[', ']'), Texts{});
    EXPECT_EQ(extractBetween("", ' ', ':'), Texts{});
    // Between a close and the next open nothing is taken.
    EXPECT_EQ(extractBetween("[a]b][c]", '[', ']'), (Texts{"a", "c"}));
}

TEST(GbkText, ExtractBetweenSkipsDelimiterBytesInsideCharacters)
{
    EXPECT_EQ(extractBetween(" 余额:100 可用:50 ", ' ', ':'), (Texts{"余额", "可用"}));
    // 0x81 takes the colon after it as its second byte.
    EXPECT_EQ(extractBetween(" a\x81:b:", ' ', ':'), (Texts{"a\x81:b"}));
}

// How a confirmation names the order it belongs to: "证券代码: 600000".
TEST(GbkText, LabelledValuesTakeTheRunAfterEachLabel)
{
    EXPECT_EQ(labelledValues("操作类别: 买入\n证券代码: 600000\n委托数量: 100", "证券代码"), (Texts{"600000"}));
    EXPECT_EQ(labelledValues("证券代码：000001 证券代码=SH600519", "证券代码"), (Texts{"000001", "SH600519"}));
    EXPECT_EQ(labelledValues("证券代码\t 510300,", "证券代码"), (Texts{"510300"}));
    // No value after the label, or no label at all: nothing.
    EXPECT_EQ(labelledValues("证券代码: 浦发银行", "证券代码"), Texts{});
    EXPECT_EQ(labelledValues("您确定要提交这笔委托吗?", "证券代码"), Texts{});
    EXPECT_EQ(labelledValues("证券代码:", "证券代码"), Texts{});
    // A label whose bytes straddle two characters is no label.
    EXPECT_EQ(labelledValues("\xD6" "证券代码: 1", "证券代码"), Texts{});
}

TEST(OrderTexts, PriceTextDecimalsFollowTheCodesFirstByte)
{
    EXPECT_EQ(priceText("159915", 2.5), "2.500");
    EXPECT_EQ(priceText("510300", 2.5), "2.500");
    EXPECT_EQ(priceText("600000", 10.1), "10.10");
    EXPECT_EQ(priceText("000001", 2.5), "2.50");
    EXPECT_EQ(priceText("", 2.5), "2.50");
    EXPECT_EQ(priceText("中", 2.5), "2.50");
    EXPECT_EQ(priceText("1", -0.0004), "-0.000");
}

TEST(OrderTexts, PriceTextSurvivesExtremeValues)
{
    const std::string huge = priceText("600000", 1e300);
    EXPECT_EQ(huge.size(), 301u + 3u);
    EXPECT_EQ(huge.substr(huge.size() - 3), ".00");
    EXPECT_EQ(priceText("1", -DBL_MAX).size(), 1u + 309u + 4u);
    EXPECT_FALSE(priceText("1", std::nan("")).empty());
    EXPECT_FALSE(priceText("6", HUGE_VAL).empty());
    EXPECT_FALSE(priceText("6", -HUGE_VAL).empty());
}

TEST(OrderTexts, QuantityTextIsPlainDecimal)
{
    EXPECT_EQ(quantityText(100), "100");
    EXPECT_EQ(quantityText(0), "0");
    EXPECT_EQ(quantityText(-300), "-300");
    EXPECT_EQ(quantityText(INT_MIN), "-2147483648");
}

TEST(OrderTexts, ContractNumberFollowsThePhrase)
{
    EXPECT_EQ(contractNumber("您的委托已提交，合同号是12345。"), 12345);
    EXPECT_EQ(contractNumber("合同号是：第 678 号"), 678);
    EXPECT_EQ(contractNumber("编号77，合同号是88"), 88);
    EXPECT_EQ(contractNumber("合同号是0000000000000000000000042"), 42);
    EXPECT_EQ(contractNumber("委托已提交，合同号是"), 0);
    EXPECT_EQ(contractNumber("资金不足 1000"), -1);
    EXPECT_EQ(contractNumber(""), -1);
}

// A number the result cannot hold is 0, never a clamped number that could
// be another order's.
TEST(OrderTexts, ContractNumberTooLargeIsZeroAndMisalignedPhrasesAreIgnored)
{
    EXPECT_EQ(contractNumber("合同号是2147483647"), INT_MAX);
    EXPECT_EQ(contractNumber("合同号是2147483648"), 0);
    EXPECT_EQ(contractNumber("合同号是99999999999999999999999999"), 0);
    // After the leading 0xD6 the phrase's bytes straddle characters.
    EXPECT_EQ(contractNumber("\xD6" "合同号是1"), -1);
}

TEST(TableText, FormatsHeaderAndRowsByteForByte)
{
    const std::vector<Texts> rows{{"a", "b", "c"}, {"d", "", "f"}};
    const auto cell = [&](int row, int column) { return rows[row][column]; };
    EXPECT_EQ(formatTable({"H0", "H1", "H2"}, 2, cell), "H0\tH1\tH2\na\tb\tc\nd\t\tf");
}

TEST(TableText, EdgeShapes)
{
    int calls = 0;
    const auto counted = [&](int, int) {
        ++calls;
        return std::string("x");
    };
    EXPECT_EQ(formatTable({}, 5, counted), "");
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(formatTable({"A", "B", "C"}, 0, counted), "A\tB\tC");
    EXPECT_EQ(formatTable({"A", "B"}, -1, counted), "A\tB");
    EXPECT_EQ(formatTable({"H"}, 2, counted), "H\nx\nx");

    const auto lastEmpty = [](int, int column) { return column == 1 ? std::string() : std::string("v"); };
    EXPECT_EQ(formatTable({"A", "B"}, 1, lastEmpty), "A\tB\nv\t");
    const auto empty = [](int, int) { return std::string(); };
    EXPECT_EQ(formatTable({"", ""}, 1, empty), "\t\n\t");
    const auto separators = [](int, int) { return std::string("1\t2\n3"); };
    EXPECT_EQ(formatTable({"证券\t名称"}, 1, separators), "证券\t名称\n1\t2\n3");
}

TEST(TableText, CurrencySummaryTakesLabelsFromTheRenminbiLine)
{
    EXPECT_EQ(currencySummary("X A:1 B:2 ", "", ""), "币种\tA\tB\n人民币\t1\t2\n美元\n港元");
    EXPECT_EQ(currencySummary(" 余额:100.00 可用:50.00 ", " 余额:7.5 ", " 余额:8 "),
              "币种\t余额\t可用\n人民币\t100.00\t50.00\n美元\t7.5\n港元\t8");
    // Extra values are extra cells; labels of the other lines are ignored.
    EXPECT_EQ(currencySummary("余额:1 可用:2 ", " 甲:3 乙:4 丙:5 ", "x 丁:6"),
              "币种\t可用\n人民币\t1\t2\n美元\t3\t4\t5\n港元");
    EXPECT_EQ(currencySummary("", "", ""), "币种\n人民币\n美元\n港元");
}

}  // namespace
}  // namespace zelvo

// The library's fixed answers are written out as bytes in the public header,
// so that callers compiled with any character set compare them right; here
// (GBK execution character set) each must equal its text.
TEST(Answers, EachIsTheGbkOfItsText)
{
    namespace a = zelvo::answers;
    const std::pair<const char*, const char*> texts[] = {
        {a::notLoggedIn, "未登录"},
        {a::notSupported, "不支持"},
        {a::popupsStayOpen, "无法关闭客户端弹窗"},
        {a::clientGone, "交易客户端已关闭"},
        {a::welcome, "欢迎使用"},
        {a::noMainFrame, "未找到交易客户端主窗口"},
        {a::lockedRefusal, "不能外挂于此证券账户，因为交易界面已锁定."},
        {a::unsupportedRefusal,
         "不能外挂于此证券账户，因为暂时不支持此券商下单软件, 请关注以后升级是否支持此券商下单软件."},
        {a::unknownAccountKind, "无法识别账号类型"},
        {a::noFunctionTree, "未找到功能树"},
        {a::treeNotShown, "功能树无法显示"},
        {a::pageNotOpened, "无法打开功能页面:"},
        {a::confirmationTimeout, "等待交易确认超时"},
        {a::answerTimeout, "等待委托回报超时,委托结果未知"},
        {a::passwordTimeout, "等待密码确认超时"},
        {a::controlsMissing, "下单页面控件缺失"},
        {a::codeTooLong, "证券代码过长"},
        {a::answerUnreadable, "委托回报无法读取,委托结果未知"},
        {a::orderMissing, "委托不存在"},
        {a::cancelError, "撤单出错"},
        {a::cancelConfirmationTimeout, "等待撤单确认超时"},
        {a::cancelAnswerTimeout, "等待撤单回报超时"},
        {a::queryTimeout, "查询超时"},
        {a::oneRecord, "共1条"},
        {a::threeRecords, "共3条"},
    };
    for (const auto& [answer, text] : texts) {
        EXPECT_STREQ(answer, text);
    }
    // Every answer after the order click that is not the client's final
    // prompt leaves the order possibly out; those before the click do not.
    for (const char* unknown : {a::confirmationTimeout, a::answerTimeout, a::passwordTimeout, a::answerUnreadable,
                                a::orderNotAnswering, a::orderClientGone}) {
        EXPECT_TRUE(a::orderOutcomeUnknown(unknown)) << unknown;
    }
    for (const char* known : {a::clientNotAnswering, a::clientGone, a::controlsMissing, a::notSupported}) {
        EXPECT_FALSE(a::orderOutcomeUnknown(known)) << known;
    }
    EXPECT_FALSE(a::orderOutcomeUnknown(nullptr));
}
