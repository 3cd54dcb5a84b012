#include "attach/broker_profiles.h"

#include <vector>

#include "support/text_utils.h"

namespace zelvo {

namespace {

constexpr int captionCount = 15;
using Captions = const char* const[captionCount];

enum class CreditRule { AccountTextHasCredit, ThirdWordIsCreditNumber };

}  // namespace

struct Edition {
    std::vector<const char*> titles;
    const char* brokerName;
    CreditRule creditRule;
    int ordinaryTreeId;
    int creditTreeId;
    // Caption slots in profile order: buy, sell, margin buy, short sell, buy
    // to return, return in kind, sell to repay, funds, today's orders, today's
    // trades, margin debt, short debt, cancel page, shortable, shareholders.
    const char* const* ordinaryCaptions;
    const char* const* creditCaptions;
    // On this edition a credit account's ordinary order page uses the credit
    // order controls.
    bool creditAccountUsesCreditOrderIds;
};

namespace {

constexpr char credit[] = "信用";
constexpr int ordinaryTree = 59648;

Captions zhaoshang = {"买入", "卖出", "融资买入", "融券卖出", "买券还券", "现券还券", "卖券还款", "资金股份",
                      "当日委托", "当日成交", "融资余额查询", "融券余额查询", "撤单", "融券卖出", "股东列表"};
Captions guotaiOrdinary = {"买入", "卖出", "融资买入", "融券卖出", "买券还券", "现券还券", "卖券还款",
                           "资金股份查询", "当日委托查询", "当日成交查询", "融资情况查询", "融券情况查询", "撤单",
                           "标的证券查询", "股东列表"};
Captions guotaiCredit = {"买入", "卖出", "融资买入", "融券卖出", "买券还券", "现券还券", "卖券还款", "资金股份",
                         "当日委托查询", "当日成交查询", "融资情况查询", "融券情况查询", "撤单", "标的证券查询",
                         "股东列表"};
Captions guoxin = {"买入", "卖出", "融资买入", "融券卖出", "买券还券", "现券还券", "卖券还款", "资金股份",
                   "当日委托", "当日成交", "未平仓合约查询", "未平仓合约查询", "撤单", "融券卖出", "股东列表"};
Captions zhongxinOrdinary = {"买入", "卖出", "融资买入", "融券卖出", "买券还券", "现券还券", "卖券还款",
                             "资金股份", "当日委托", "当日成交", "未了结合约查询", "未了结合约查询", "撤单",
                             "可融证券查询", "股东列表"};
Captions zhongxinCredit = {"担保品买入", "担保品卖出", "融资买入", "融券卖出", "买券还券", "现券还券", "卖券还款",
                           "资金股份", "当日委托查询", "当日成交查询", "未了结合约查询", "未了结合约查询", "撤单",
                           "可融证券查询", "信用股东查询"};
Captions qilu = {"买入", "卖出", "融资买入", "融券卖出", "买券还券", "现券还券", "卖券还款", "资金股份",
                 "当日委托", "当日成交", "信用融资合约查询", "信用融券合约查询", "撤单", "融券卖出", "股东列表"};

// Tested in this order; the first edition with a title in the window title wins.
const Edition editions[] = {
    {{"招商证券智远理财服务平台"}, "招商", CreditRule::AccountTextHasCredit, ordinaryTree, 59651, zhaoshang, zhaoshang, false},
    {{"国泰君安锐智版"}, "国泰君安", CreditRule::AccountTextHasCredit, ordinaryTree, 59650, guotaiOrdinary, guotaiCredit, false},
    {{"国信金太阳网上交易专业版"}, "国信", CreditRule::AccountTextHasCredit, ordinaryTree, 59651, guoxin, guoxin, false},
    {{"华泰证券(通达信版)"}, "华泰", CreditRule::AccountTextHasCredit, ordinaryTree, 59651, zhaoshang, zhaoshang, false},
    {{"中信证券至信全能版", "中信证券仿真交易"}, "中信", CreditRule::ThirdWordIsCreditNumber, ordinaryTree, 59651,
     zhongxinOrdinary, zhongxinCredit, false},
    {{"中金证券通达信"}, "中金", CreditRule::AccountTextHasCredit, ordinaryTree, 59651, zhaoshang, zhaoshang, false},
    {{"齐鲁证券通达信", "齐鲁证券融资融券版"}, "齐鲁", CreditRule::AccountTextHasCredit, ordinaryTree, ordinaryTree, qilu,
     qilu, true},
};

struct OrderControls {
    int code;
    int price;
    int quantity;
    int button;
};
constexpr OrderControls ordinaryOrderControls = {12005, 12006, 12007, 2010};
constexpr OrderControls creditOrderControls = {313, 314, 315, 196};

// The credit number rule: the third blank-separated word is a 10-byte
// account number starting with 8.
AccountKind kindByThirdWord(const std::string& accountText)
{
    std::vector<std::string> words;
    splitText(words, accountText, " ");
    if (words.size() < 3) {
        return AccountKind::Unknown;
    }
    const std::string& number = words[2];
    return number.size() == 10 && number[0] == '8' ? AccountKind::Credit : AccountKind::Ordinary;
}

void fillControlIds(BrokerProfile& profile, const OrderControls& ordinarySet)
{
    profile.pageHostId = 59649;
    profile.statusTextId = 1243;
    profile.creditStatusTextId = 166;
    profile.queryButtonId = 1140;
    profile.creditQueryButtonId = 144;
    profile.rmbFundsTextId = 1576;
    profile.usdFundsTextId = 1573;
    profile.hkdFundsTextId = 1154;
    profile.codeEditId = ordinarySet.code;
    profile.priceEditId = ordinarySet.price;
    profile.quantityEditId = ordinarySet.quantity;
    profile.orderButtonId = ordinarySet.button;
    profile.creditCodeEditId = creditOrderControls.code;
    profile.creditPriceEditId = creditOrderControls.price;
    profile.creditQuantityEditId = creditOrderControls.quantity;
    profile.creditOrderButtonId = creditOrderControls.button;
}

void fillCaptions(BrokerProfile& profile, const char* const* captions)
{
    std::string* slots[captionCount] = {
        &profile.buyCaption,         &profile.sellCaption,        &profile.marginBuyCaption,
        &profile.shortSellCaption,   &profile.buyToReturnCaption, &profile.returnInKindCaption,
        &profile.sellToRepayCaption, &profile.fundsCaption,       &profile.todayOrdersCaption,
        &profile.todayTradesCaption, &profile.marginDebtCaption,  &profile.shortDebtCaption,
        &profile.cancelPageCaption,  &profile.shortableCaption,   &profile.shareholdersCaption};
    for (int slot = 0; slot < captionCount; ++slot) {
        *slots[slot] = captions[slot];
    }
}

}  // namespace

const Edition* recognizeEdition(const std::string& title)
{
    for (const Edition& edition : editions) {
        for (const char* editionTitle : edition.titles) {
            if (containsText(title, editionTitle)) {
                return &edition;
            }
        }
    }
    return nullptr;
}

AccountKind accountKind(const Edition& edition, const std::string& accountText)
{
    if (edition.creditRule == CreditRule::ThirdWordIsCreditNumber) {
        return kindByThirdWord(accountText);
    }
    return containsText(accountText, credit) ? AccountKind::Credit : AccountKind::Ordinary;
}

int functionTreeId(const Edition& edition, AccountKind kind)
{
    return kind == AccountKind::Credit ? edition.creditTreeId : edition.ordinaryTreeId;
}

BrokerProfile editionProfile(const Edition& edition, AccountKind kind)
{
    const bool isCredit = kind == AccountKind::Credit;
    BrokerProfile profile;
    const bool creditOrderIds = isCredit && edition.creditAccountUsesCreditOrderIds;
    fillControlIds(profile, creditOrderIds ? creditOrderControls : ordinaryOrderControls);
    fillCaptions(profile, isCredit ? edition.creditCaptions : edition.ordinaryCaptions);
    profile.brokerName = edition.brokerName;
    return profile;
}

POINT treeSwitchPoint(const Edition& edition, AccountKind kind, const RECT& switchClient)
{
    POINT point = {switchClient.left + 10, switchClient.top + 10};
    if (edition.creditRule == CreditRule::ThirdWordIsCreditNumber && kind == AccountKind::Credit) {
        // Five eighths across, computed in double precision and truncated.
        point.x = switchClient.left + static_cast<LONG>((switchClient.right - switchClient.left) * 5 * 0.125);
    }
    return point;
}

void postClick(HWND window, POINT point)
{
    const LPARAM position = MAKELPARAM(point.x, point.y);
    PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, position);
    PostMessageA(window, WM_LBUTTONUP, 0, position);
}

}  // namespace zelvo
