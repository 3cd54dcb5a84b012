#include "client/editions.h"

#include <vector>

#include "client/client_ui.h"
#include "text/gbk_text.h"

namespace zelvo {

namespace {

using Captions = std::array<const char*, pageCount>;

enum class CreditRule {
    AccountTextHasCredit,     // the account text holds the word for credit
    ThirdWordIsCreditNumber,  // the third word is a 10-byte number starting with 8
};

enum class SwitchPoint {
    NearCorner,     // 10 pixels in from the top left corner
    FiveEighths,    // five eighths across the switch
};

}  // namespace

// Everything that differs between editions, one row each.
struct Edition {
    std::vector<const char*> titles;
    const char* brokerName;
    CreditRule creditRule;
    int creditTreeId;
    // Captions in page order (see Page).
    const Captions& ordinaryCaptions;
    const Captions& creditCaptions;
    // A credit account's ordinary order pages carry the credit order controls.
    bool creditAccountUsesCreditOrderIds;
    ShortableRefresh shortableRefresh;
    bool nestedDialogPages;
    // Where a credit account's trade switch is clicked.
    SwitchPoint creditSwitchPoint;
};

namespace {

constexpr Captions zhaoshang = {"买入", "卖出", "融资买入", "融券卖出", "买券还券", "现券还券", "卖券还款", "资金股份",
                                "当日委托", "当日成交", "融资余额查询", "融券余额查询", "撤单", "融券卖出", "股东列表"};
constexpr Captions guotaiOrdinary = {"买入", "卖出", "融资买入", "融券卖出", "买券还券", "现券还券", "卖券还款",
                                     "资金股份查询", "当日委托查询", "当日成交查询", "融资情况查询", "融券情况查询",
                                     "撤单", "标的证券查询", "股东列表"};
constexpr Captions guotaiCredit = {"买入", "卖出", "融资买入", "融券卖出", "买券还券", "现券还券", "卖券还款",
                                   "资金股份", "当日委托查询", "当日成交查询", "融资情况查询", "融券情况查询", "撤单",
                                   "标的证券查询", "股东列表"};
constexpr Captions guoxin = {"买入", "卖出", "融资买入", "融券卖出", "买券还券", "现券还券", "卖券还款", "资金股份",
                             "当日委托", "当日成交", "未平仓合约查询", "未平仓合约查询", "撤单", "融券卖出", "股东列表"};
constexpr Captions zhongxinOrdinary = {"买入", "卖出", "融资买入", "融券卖出", "买券还券", "现券还券", "卖券还款",
                                       "资金股份", "当日委托", "当日成交", "未了结合约查询", "未了结合约查询", "撤单",
                                       "可融证券查询", "股东列表"};
constexpr Captions zhongxinCredit = {"担保品买入", "担保品卖出", "融资买入", "融券卖出", "买券还券", "现券还券",
                                     "卖券还款", "资金股份", "当日委托查询", "当日成交查询", "未了结合约查询",
                                     "未了结合约查询", "撤单", "可融证券查询", "信用股东查询"};
constexpr Captions qilu = {"买入", "卖出", "融资买入", "融券卖出", "买券还券", "现券还券", "卖券还款", "资金股份",
                           "当日委托", "当日成交", "信用融资合约查询", "信用融券合约查询", "撤单", "融券卖出", "股东列表"};

using Rule = CreditRule;
using Refresh = ShortableRefresh;
using Point = SwitchPoint;

// Tested in this order; the first edition with a title in the window title wins.
const Edition editions[] = {
    {{"招商证券智远理财服务平台"}, "招商", Rule::AccountTextHasCredit, 59651, zhaoshang, zhaoshang, false,
     Refresh::ToolbarShortSell, false, Point::NearCorner},
    {{"国泰君安锐智版"}, "国泰君安", Rule::AccountTextHasCredit, 59650, guotaiOrdinary, guotaiCredit, false,
     Refresh::OwnQueryButton, false, Point::NearCorner},
    {{"国信金太阳网上交易专业版"}, "国信", Rule::AccountTextHasCredit, 59651, guoxin, guoxin, false,
     Refresh::ToolbarShortSell, false, Point::NearCorner},
    {{"华泰证券(通达信版)"}, "华泰", Rule::AccountTextHasCredit, 59651, zhaoshang, zhaoshang, false,
     Refresh::CreditQueryButton, false, Point::NearCorner},
    {{"中信证券至信全能版", "中信证券仿真交易"}, "中信", Rule::ThirdWordIsCreditNumber, 59651, zhongxinOrdinary,
     zhongxinCredit, false, Refresh::CreditQueryButton, false, Point::FiveEighths},
    {{"中金证券通达信"}, "中金", Rule::AccountTextHasCredit, 59651, zhaoshang, zhaoshang, false,
     Refresh::CreditQueryButton, false, Point::NearCorner},
    {{"齐鲁证券通达信", "齐鲁证券融资融券版"}, "齐鲁", Rule::AccountTextHasCredit, client_ui::ordinaryTreeId, qilu,
     qilu, true, Refresh::ToolbarRefresh, true, Point::NearCorner},
};

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

void fillControlIds(BrokerProfile& profile, const client_ui::OrderControlIds& ordinarySet)
{
    profile.pageHostId = client_ui::pageHostId;
    profile.statusTextId = client_ui::statusTextId;
    profile.creditStatusTextId = client_ui::creditStatusTextId;
    profile.queryButtonId = client_ui::queryButtonId;
    profile.creditQueryButtonId = client_ui::creditQueryButtonId;
    profile.rmbFundsTextId = client_ui::rmbFundsTextId;
    profile.usdFundsTextId = client_ui::usdFundsTextId;
    profile.hkdFundsTextId = client_ui::hkdFundsTextId;
    profile.codeEditId = ordinarySet.code;
    profile.priceEditId = ordinarySet.price;
    profile.quantityEditId = ordinarySet.quantity;
    profile.orderButtonId = ordinarySet.button;
    profile.creditCodeEditId = client_ui::creditOrderControls.code;
    profile.creditPriceEditId = client_ui::creditOrderControls.price;
    profile.creditQuantityEditId = client_ui::creditOrderControls.quantity;
    profile.creditOrderButtonId = client_ui::creditOrderControls.button;
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
    return containsText(accountText, client_ui::creditWord) ? AccountKind::Credit : AccountKind::Ordinary;
}

int functionTreeId(const Edition& edition, AccountKind kind)
{
    return kind == AccountKind::Credit ? edition.creditTreeId : client_ui::ordinaryTreeId;
}

BrokerProfile editionProfile(const Edition& edition, AccountKind kind)
{
    const bool isCredit = kind == AccountKind::Credit;
    BrokerProfile profile;
    const bool creditOrderIds = isCredit && edition.creditAccountUsesCreditOrderIds;
    fillControlIds(profile, creditOrderIds ? client_ui::creditOrderControls : client_ui::ordinaryOrderControls);
    const Captions& captions = isCredit ? edition.creditCaptions : edition.ordinaryCaptions;
    for (std::size_t page = 0; page < pageCount; ++page) {
        profile.captions[page] = captions[page];
    }
    profile.brokerName = edition.brokerName;
    profile.shortableRefresh = edition.shortableRefresh;
    profile.nestedDialogPages = edition.nestedDialogPages;
    return profile;
}

POINT treeSwitchPoint(const Edition& edition, AccountKind kind, const RECT& switchClient, int dpi)
{
    const LONG inset = MulDiv(10, dpi, 96);
    POINT point = {switchClient.left + inset, switchClient.top + inset};
    if (kind == AccountKind::Credit && edition.creditSwitchPoint == SwitchPoint::FiveEighths) {
        // Five eighths across, computed in double precision and truncated.
        point.x = switchClient.left + static_cast<LONG>((switchClient.right - switchClient.left) * 5 * 0.125);
    }
    return point;
}

}  // namespace zelvo
