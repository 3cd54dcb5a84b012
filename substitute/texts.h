// The substitute client's own texts and control IDs: what the real client
// shows, kept apart from the library's copies so that a test compares two
// independent sources.
#pragma once

namespace substitute {

namespace ids {
constexpr int tradeSwitch = 221;
constexpr int pageHost = 59649;
constexpr int ordinaryTree = 59648;
constexpr int creditTreeA = 59651;
constexpr int creditTreeB = 59650;
constexpr int promptText = 7013;
constexpr int promptButton = 7015;
constexpr int passwordOk = 7021;
constexpr int passwordEdit = 7023;
constexpr int passwordCheck = 7024;
constexpr int popupClose = 1;
// Every page's list, its first child.
constexpr int pageList = 1047;
// The query pages' controls: status texts, query buttons, funds texts.
constexpr int statusText = 1243;
constexpr int creditStatusText = 166;
constexpr int queryButton = 1140;
constexpr int creditQueryButton = 144;
constexpr int rmbFunds = 1576;
constexpr int usdFunds = 1573;
constexpr int hkdFunds = 1154;
// The main frame's panels, its account box (and the decoy after it), the
// tree's panel and the toolbar's.
constexpr int topPanel = 100;
constexpr int innerPanel = 101;
constexpr int lockText = 102;
constexpr int accountBox = 1001;
constexpr int decoyAccountBox = 1002;
constexpr int treePanel = 200;
constexpr int toolbarHolder = 103;

// The four controls of an order page: code, price and quantity edits and the
// order button.
struct OrderControlSet {
    int code;
    int price;
    int quantity;
    int button;
};
constexpr OrderControlSet ordinaryOrderControls = {12005, 12006, 12007, 2010};
constexpr OrderControlSet creditOrderControls = {313, 314, 315, 196};
}  // namespace ids

namespace texts {
constexpr char mainFrameClass[] = "TdxW_MainFrame_Class";
constexpr char lockScreen[] = "交易界面已锁定,请输入主帐号(即第一个登录的帐号)的交易密码解锁.";
constexpr char promptTitle[] = "提示";
constexpr char tradeConfirmTitle[] = "交易确认";
constexpr char passwordTitle[] = "密码确认";
constexpr char busy[] = "上次请求未返回，请不要频繁点击!";
constexpr char noRecords[] = "没有相应的查询信息!";
constexpr char cancelConfirm[] = "操作类别: 撤单";
}  // namespace texts

}  // namespace substitute
