// The fixed texts zelvo.dll answers with in its message buffers, as GBK
// bytes. Every other message is the client's own prompt or status text.
// The bytes are written out so that they are the same whatever character
// set the including program is compiled with; each comment gives the text.
// C++17.
#pragma once
#include <cstring>
#include <initializer_list>

namespace zelvo::answers {

// Every operation
// "未登录": query, order, cancel: the session is not attached.
inline constexpr char notLoggedIn[] = "\xCE\xB4\xB5\xC7\xC2\xBC";
// "不支持": query, order, cancel: the kind, or its page, is not available in this edition.
inline constexpr char notSupported[] = "\xB2\xBB\xD6\xA7\xB3\xD6";
// "无法关闭客户端弹窗": a pop-up of the client did not close within its bound; nothing else was touched.
inline constexpr char popupsStayOpen[] = "\xCE\xDE\xB7\xA8\xB9\xD8\xB1\xD5\xBF\xCD\xBB\xA7\xB6\xCB\xB5\xAF\xB4\xB0";
// "交易客户端已关闭": the client's main window no longer exists.
inline constexpr char clientGone[] = "\xBD\xBB\xD2\xD7\xBF\xCD\xBB\xA7\xB6\xCB\xD2\xD1\xB9\xD8\xB1\xD5";
// "交易客户端无响应": the client's thread did not answer within 5 s; the
// operation stopped there and sent the client nothing more.
inline constexpr char clientNotAnswering[] = "\xBD\xBB\xD2\xD7\xBF\xCD\xBB\xA7\xB6\xCB\xCE\xDE\xCF\xEC\xD3\xA6";
// "上一个调用尚未返回": a call made from inside another call of the same
// thread (a window procedure or timer of the caller run while the library
// waited); it touched nothing.
inline constexpr char callInProgress[] = "\xC9\xCF\xD2\xBB\xB8\xF6\xB5\xF7\xD3\xC3\xC9\xD0\xCE\xB4\xB7\xB5\xBB\xD8";

// Attach
// "欢迎使用": login succeeded: followed by the client's title.
inline constexpr char welcome[] = "\xBB\xB6\xD3\xAD\xCA\xB9\xD3\xC3";
// "未找到交易客户端主窗口": no main frame of the client in this process.
inline constexpr char noMainFrame[] = "\xCE\xB4\xD5\xD2\xB5\xBD\xBD\xBB\xD2\xD7\xBF\xCD\xBB\xA7\xB6\xCB\xD6\xF7\xB4\xB0\xBF\xDA";
// "不能外挂于此证券账户，因为交易界面已锁定.": the client's trading screen is locked.
inline constexpr char lockedRefusal[] = "\xB2\xBB\xC4\xDC\xCD\xE2\xB9\xD2\xD3\xDA\xB4\xCB\xD6\xA4\xC8\xAF\xD5\xCB\xBB\xA7\xA3\xAC\xD2\xF2\xCE\xAA\xBD\xBB\xD2\xD7\xBD\xE7\xC3\xE6\xD2\xD1\xCB\xF8\xB6\xA8.";
// "不能外挂于此证券账户，因为暂时不支持此券商下单软件, 请关注以后升级是否支持此券商下单软件.": the client's edition is not one the library knows.
inline constexpr char unsupportedRefusal[] = "\xB2\xBB\xC4\xDC\xCD\xE2\xB9\xD2\xD3\xDA\xB4\xCB\xD6\xA4\xC8\xAF\xD5\xCB\xBB\xA7\xA3\xAC\xD2\xF2\xCE\xAA\xD4\xDD\xCA\xB1\xB2\xBB\xD6\xA7\xB3\xD6\xB4\xCB\xC8\xAF\xC9\xCC\xCF\xC2\xB5\xA5\xC8\xED\xBC\xFE, \xC7\xEB\xB9\xD8\xD7\xA2\xD2\xD4\xBA\xF3\xC9\xFD\xBC\xB6\xCA\xC7\xB7\xF1\xD6\xA7\xB3\xD6\xB4\xCB\xC8\xAF\xC9\xCC\xCF\xC2\xB5\xA5\xC8\xED\xBC\xFE.";
// "无法识别账号类型": the account text lacks what tells the account kind.
inline constexpr char unknownAccountKind[] = "\xCE\xDE\xB7\xA8\xCA\xB6\xB1\xF0\xD5\xCB\xBA\xC5\xC0\xE0\xD0\xCD";
// "未找到功能树": no trade switch or function tree.
inline constexpr char noFunctionTree[] = "\xCE\xB4\xD5\xD2\xB5\xBD\xB9\xA6\xC4\xDC\xCA\xF7";
// "功能树无法显示": the function tree did not show.
inline constexpr char treeNotShown[] = "\xB9\xA6\xC4\xDC\xCA\xF7\xCE\xDE\xB7\xA8\xCF\xD4\xCA\xBE";
// "无法打开功能页面:": a function page did not open: followed by its caption.
inline constexpr char pageNotOpened[] = "\xCE\xDE\xB7\xA8\xB4\xF2\xBF\xAA\xB9\xA6\xC4\xDC\xD2\xB3\xC3\xE6:";

// Orders
// "等待交易确认超时": no prompt came after the order click: the outcome is
// unknown, since a client without a confirmation step sends the order on the
// click itself.
inline constexpr char confirmationTimeout[] = "\xB5\xC8\xB4\xFD\xBD\xBB\xD2\xD7\xC8\xB7\xC8\xCF\xB3\xAC\xCA\xB1";
// "等待委托回报超时,委托结果未知": the confirmation was accepted but no final prompt came: the order may be out.
inline constexpr char answerTimeout[] = "\xB5\xC8\xB4\xFD\xCE\xAF\xCD\xD0\xBB\xD8\xB1\xA8\xB3\xAC\xCA\xB1,\xCE\xAF\xCD\xD0\xBD\xE1\xB9\xFB\xCE\xB4\xD6\xAA";
// "等待密码确认超时": the password dialog stayed open after the confirmation
// was accepted; the library then declined it, but the outcome is unknown.
inline constexpr char passwordTimeout[] = "\xB5\xC8\xB4\xFD\xC3\xDC\xC2\xEB\xC8\xB7\xC8\xCF\xB3\xAC\xCA\xB1";
// "下单页面控件缺失": the order page lacks one of its controls; nothing was written.
inline constexpr char controlsMissing[] = "\xCF\xC2\xB5\xA5\xD2\xB3\xC3\xE6\xBF\xD8\xBC\xFE\xC8\xB1\xCA\xA7";
// "证券代码过长": the code is far longer than any security code; nothing was written.
inline constexpr char codeTooLong[] = "\xD6\xA4\xC8\xAF\xB4\xFA\xC2\xEB\xB9\xFD\xB3\xA4";
// "委托回报无法读取,委托结果未知": the final prompt has no message control: the order may be out.
inline constexpr char answerUnreadable[] = "\xCE\xAF\xCD\xD0\xBB\xD8\xB1\xA8\xCE\xDE\xB7\xA8\xB6\xC1\xC8\xA1,\xCE\xAF\xCD\xD0\xBD\xE1\xB9\xFB\xCE\xB4\xD6\xAA";
// "交易客户端无响应,委托结果未知": the client stopped answering after the
// trade confirmation was accepted: the order may be out.
inline constexpr char orderNotAnswering[] = "\xBD\xBB\xD2\xD7\xBF\xCD\xBB\xA7\xB6\xCB\xCE\xDE\xCF\xEC\xD3\xA6,\xCE\xAF\xCD\xD0\xBD\xE1\xB9\xFB\xCE\xB4\xD6\xAA";
// "交易客户端已关闭,委托结果未知": the client closed after the trade
// confirmation was accepted: the order may be out.
inline constexpr char orderClientGone[] = "\xBD\xBB\xD2\xD7\xBF\xCD\xBB\xA7\xB6\xCB\xD2\xD1\xB9\xD8\xB1\xD5,\xCE\xAF\xCD\xD0\xBD\xE1\xB9\xFB\xCE\xB4\xD6\xAA";

// Cancels
// "委托不存在": no row of today's orders carries the number.
inline constexpr char orderMissing[] = "\xCE\xAF\xCD\xD0\xB2\xBB\xB4\xE6\xD4\xDA";
// "撤单出错": the orders list is missing or lacks its code column.
inline constexpr char cancelError[] = "\xB3\xB7\xB5\xA5\xB3\xF6\xB4\xED";
// "等待撤单确认超时": no prompt came after the double click: nothing was cancelled.
inline constexpr char cancelConfirmationTimeout[] = "\xB5\xC8\xB4\xFD\xB3\xB7\xB5\xA5\xC8\xB7\xC8\xCF\xB3\xAC\xCA\xB1";
// "等待撤单回报超时": the confirmation was accepted but the client's answer did not come.
inline constexpr char cancelAnswerTimeout[] = "\xB5\xC8\xB4\xFD\xB3\xB7\xB5\xA5\xBB\xD8\xB1\xA8\xB3\xAC\xCA\xB1";
// "交易客户端无响应,撤单结果未知": the client stopped answering after the
// cancel confirmation was accepted (the result is true).
inline constexpr char cancelNotAnswering[] = "\xBD\xBB\xD2\xD7\xBF\xCD\xBB\xA7\xB6\xCB\xCE\xDE\xCF\xEC\xD3\xA6,\xB3\xB7\xB5\xA5\xBD\xE1\xB9\xFB\xCE\xB4\xD6\xAA";
// "交易客户端已关闭,撤单结果未知": the client closed after the cancel
// confirmation was accepted (the result is true).
inline constexpr char cancelClientGone[] = "\xBD\xBB\xD2\xD7\xBF\xCD\xBB\xA7\xB6\xCB\xD2\xD1\xB9\xD8\xB1\xD5,\xB3\xB7\xB5\xA5\xBD\xE1\xB9\xFB\xCE\xB4\xD6\xAA";

// Queries
// "查询超时": the client did not answer the query.
inline constexpr char queryTimeout[] = "\xB2\xE9\xD1\xAF\xB3\xAC\xCA\xB1";
// "共1条": the message of a funds line.
inline constexpr char oneRecord[] = "\xB9\xB2" "1\xCC\xF5";
// "共3条": the message of the currency summary.
inline constexpr char threeRecords[] = "\xB9\xB2" "3\xCC\xF5";

// Whether an order's answer says the order may have gone out although no
// contract number came back: every answer after the order click that did not
// come from the client's final prompt. The caller must look at today's
// orders before placing it again.
[[nodiscard]] inline bool orderOutcomeUnknown(const char* message) noexcept
{
    for (const char* unknown : {confirmationTimeout, answerTimeout, passwordTimeout, answerUnreadable,
                                orderNotAnswering, orderClientGone}) {
        if (message != nullptr && std::strcmp(message, unknown) == 0) {
            return true;
        }
    }
    return false;
}

}  // namespace zelvo::answers
