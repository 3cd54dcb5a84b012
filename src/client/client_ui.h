// What the library knows of the trading client's user interface and relies
// on: window classes, control IDs and the texts it looks for. What differs
// between broker editions is in the editions table (client/editions.cpp).
#pragma once

namespace zelvo::client_ui {

// Window classes.
constexpr char mainFrameClass[] = "TdxW_MainFrame_Class";
constexpr char staticClass[] = "Static";
constexpr char comboBoxClass[] = "ComboBox";
constexpr char dialogClass[] = "#32770";
constexpr char listViewClass[] = "SysListView32";

// The whole text of the "Static" control the client shows while its trading
// screen is locked (ASCII comma, parentheses and full stop).
constexpr char lockScreen[] = "交易界面已锁定,请输入主帐号(即第一个登录的帐号)的交易密码解锁.";

// The control that shows the function tree when clicked, below the main frame.
constexpr int tradeSwitchId = 221;
// Tree items whose subtrees are recorded but not walked.
constexpr const char* unwalkedCaptions[] = {"债券报价回购", "天天利财", "报价回购"};
// The word in the account text of a credit account, on most editions.
constexpr char creditWord[] = "信用";

// Controls every edition shares: the page host below the main frame, and on
// the pages the status texts, query buttons and funds texts.
constexpr int pageHostId = 59649;
constexpr int statusTextId = 1243;
constexpr int creditStatusTextId = 166;
constexpr int queryButtonId = 1140;
constexpr int creditQueryButtonId = 144;
constexpr int rmbFundsTextId = 1576;
constexpr int usdFundsTextId = 1573;
constexpr int hkdFundsTextId = 1154;
// The query button of the shortable-securities page on the one edition
// that has its own.
constexpr int shortableQueryButtonId = 234;
// The function tree of an ordinary account; credit trees differ by edition.
constexpr int ordinaryTreeId = 59648;

// The four controls of an order page: code, price and quantity edits and the
// order button. Ordinary pages use the first set, credit pages the second.
struct OrderControlIds {
    int code;
    int price;
    int quantity;
    int button;
};
constexpr OrderControlIds ordinaryOrderControls = {12005, 12006, 12007, 2010};
constexpr OrderControlIds creditOrderControls = {313, 314, 315, 196};

// The prompt pop-ups of orders, cancels and queries.
constexpr int promptText = 7013;    // a prompt's message text
constexpr int promptButton = 7015;  // a prompt's confirming button
// The password confirmation of an order.
constexpr int passwordOk = 7021;
constexpr int passwordEdit = 7023;
constexpr int passwordCheck = 7024;

// Found anywhere in the title of the client's trade confirmation.
constexpr char tradeConfirmTitle[] = "交易确认";
// Found in the message of every confirmation of the client, of an order
// ("操作类别: 买入") and of a cancel ("操作类别: 撤单") alike.
constexpr char operationLabel[] = "操作类别";
// The labels under which a confirmation names the security of an order,
// and the order a cancel withdraws.
constexpr const char* securityCodeLabels[] = {"证券代码", "股票代码"};
constexpr const char* orderNumberLabels[] = {"委托编号", "合同编号", "合同号"};
// The whole title of the client's password confirmation.
constexpr char passwordTitle[] = "密码确认";
// The client's busy prompt (the previous request has not returned yet),
// met by queries and cancels alike.
constexpr char clientBusy[] = "上次请求未返回，请不要频繁点击!";

// The today's-orders list: the column searched for the order number, and
// the column the list must also have for its rows to be orders.
constexpr char orderNoColumn[] = "委托编号";
constexpr char codeColumn[] = "证券代码";
// Found in the message of the client's cancel confirmation (ASCII colon and
// one ASCII space between the words).
constexpr char cancelConfirmationMarker[] = "操作类别: 撤单";

// A query page's message row when nothing matched; the status text still follows.
constexpr char noRecordsRow[] = "没有相应的查询信息!";

// The client's main toolbar, found by window class and title, and its
// Refresh button. Its buttons are no windows of their own.
constexpr char toolbarClass[] = "MHPToolBar";
constexpr char toolbarTitle[] = "MainViewBar";
constexpr char refreshButton[] = "刷新";

}  // namespace zelvo::client_ui
