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
