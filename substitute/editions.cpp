#include "editions.h"

#include <algorithm>

namespace substitute {

namespace {

struct CaptionSet {
    std::vector<std::string> trading;  // orders and the cancel page
    std::vector<std::string> queries;
    std::vector<std::string> credit;   // margin orders and margin queries
};

CaptionSet captionsOf(Broker broker, bool credit)
{
    CaptionSet set = {{"买入", "卖出", "撤单"},
                      {"资金股份", "当日委托", "当日成交", "股东列表"},
                      {"融资买入", "融券卖出", "买券还券", "现券还券", "卖券还款", "融资余额查询", "融券余额查询"}};
    switch (broker) {
    case Broker::Guotai:
        set.queries = {credit ? "资金股份" : "资金股份查询", "当日委托查询", "当日成交查询", "股东列表"};
        set.credit = {"融资买入", "融券卖出", "买券还券", "现券还券", "卖券还款", "融资情况查询", "融券情况查询", "标的证券查询"};
        break;
    case Broker::Guoxin:
        set.credit = {"融资买入", "融券卖出", "买券还券", "现券还券", "卖券还款", "未平仓合约查询"};
        break;
    case Broker::Zhongxin:
        if (credit) {
            set.trading = {"担保品买入", "担保品卖出", "撤单"};
            set.queries = {"资金股份", "当日委托查询", "当日成交查询", "信用股东查询"};
        }
        set.credit = {"融资买入", "融券卖出", "买券还券", "现券还券", "卖券还款", "未了结合约查询", "可融证券查询"};
        break;
    case Broker::Qilu:
        set.credit = {"融资买入", "融券卖出", "买券还券", "现券还券", "卖券还款", "信用融资合约查询", "信用融券合约查询"};
        break;
    default:
        break;
    }
    return set;
}

std::vector<TreeNode> leaves(const std::vector<std::string>& captions)
{
    std::vector<TreeNode> nodes;
    for (const std::string& caption : captions) {
        nodes.push_back(TreeNode{caption, {}, PageKind::List, false});
    }
    return nodes;
}

TreeNode folder(const std::string& caption, std::vector<TreeNode> children, bool expanded)
{
    return TreeNode{caption, std::move(children), PageKind::Nothing, expanded};
}

}  // namespace

EditionFacts editionFacts(Broker broker)
{
    switch (broker) {
    case Broker::Zhaoshang: return {{"招商证券智远理财服务平台"}, "招商", ids::ordinaryTree, ids::creditTreeA};
    case Broker::Guotai: return {{"国泰君安锐智版"}, "国泰君安", ids::ordinaryTree, ids::creditTreeB};
    case Broker::Guoxin: return {{"国信金太阳网上交易专业版"}, "国信", ids::ordinaryTree, ids::creditTreeA};
    case Broker::Huatai: return {{"华泰证券(通达信版)"}, "华泰", ids::ordinaryTree, ids::creditTreeA};
    case Broker::Zhongxin:
        return {{"中信证券至信全能版", "中信证券仿真交易"}, "中信", ids::ordinaryTree, ids::creditTreeA};
    case Broker::Zhongjin: return {{"中金证券通达信"}, "中金", ids::ordinaryTree, ids::creditTreeA};
    case Broker::Qilu: return {{"齐鲁证券通达信", "齐鲁证券融资融券版"}, "齐鲁", ids::ordinaryTree, ids::ordinaryTree};
    }
    return {};
}

std::string accountText(Broker broker, bool credit)
{
    if (broker == Broker::Zhongxin) {
        // This edition tells credit accounts by the third word: a 10-digit number starting with 8.
        return credit ? "张三 上海A股 8001234567" : "张三 上海A股 A123456789";
    }
    return credit ? "信用账号 12345678" : "普通账号 12345678";
}

std::vector<std::string> editionCaptions(Broker broker, bool credit)
{
    const CaptionSet set = captionsOf(broker, credit);
    std::vector<std::string> all = set.trading;
    all.insert(all.end(), set.queries.begin(), set.queries.end());
    all.insert(all.end(), set.credit.begin(), set.credit.end());
    return all;
}

ClientSetup editionClient(Broker broker, bool credit, int titleIndex)
{
    const EditionFacts facts = editionFacts(broker);
    const CaptionSet set = captionsOf(broker, credit);
    ClientSetup setup;
    setup.title = "张三 - " + facts.titles.at(static_cast<size_t>(titleIndex)) + " V6.0";
    setup.accounts = {accountText(broker, credit)};
    setup.treeId = credit ? facts.creditTreeId : facts.ordinaryTreeId;
    setup.tree = {
        folder("股票交易", leaves(set.trading), true),
        folder("查询", leaves(set.queries), false),
        folder("融资融券", leaves(set.credit), false),
        // Folders whose subtrees the library must not walk; their decoys
        // would replace the real items if it did.
        folder("债券报价回购", leaves({"买入", "资金股份"}), false),
        folder("天天利财", leaves({"卖出"}), false),
        folder("报价回购", leaves({"撤单"}), false),
    };
    if (broker == Broker::Qilu) {
        // This edition's shareholder page shows a nested dialog over a disabled list.
        setup.tree[1].children.back().page = PageKind::NestedDialog;
        setup.creditIdsOnOrderPages = credit;
    }
    if (broker == Broker::Zhongxin && credit) {
        // Its credit edition shows the tree for a click five eighths across
        // the switch (which is 240 wide).
        setup.switchHotSpot = {150, 10};
    }
    if (broker == Broker::Guotai) {
        setup.shortableQueryButtonId = 234;
    }
    return setup;
}

}  // namespace substitute
