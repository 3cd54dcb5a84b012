// What the attach step knows of the trading client: window classes, control
// IDs and the texts it compares or answers with.
#pragma once

namespace zelvo::attach_texts {

constexpr char mainFrameClass[] = "TdxW_MainFrame_Class";
constexpr char staticClass[] = "Static";
constexpr char comboBoxClass[] = "ComboBox";
constexpr char dialogClass[] = "#32770";
constexpr char listViewClass[] = "SysListView32";
constexpr int tradeSwitchId = 221;

// The whole text of the "Static" control the client shows while its trading
// screen is locked (ASCII comma, parentheses and full stop).
constexpr char lockScreen[] = "交易界面已锁定,请输入主帐号(即第一个登录的帐号)的交易密码解锁.";

constexpr char lockedRefusal[] = "不能外挂于此证券账户，因为交易界面已锁定.";
constexpr char unsupportedRefusal[] =
    "不能外挂于此证券账户，因为暂时不支持此券商下单软件, 请关注以后升级是否支持此券商下单软件.";
constexpr char noMainFrame[] = "未找到交易客户端主窗口";
constexpr char noFunctionTree[] = "未找到功能树";
constexpr char treeNotShown[] = "功能树无法显示";
constexpr char unknownAccountKind[] = "无法识别账号类型";
constexpr char pageNotOpened[] = "无法打开功能页面:";
constexpr char welcome[] = "欢迎使用";

// Tree items whose subtrees are recorded but not walked.
constexpr const char* unwalkedCaptions[] = {"债券报价回购", "天天利财", "报价回购"};

}  // namespace zelvo::attach_texts
