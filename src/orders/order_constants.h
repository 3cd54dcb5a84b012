// What the library knows of the client's order dialogs: the control IDs of
// its prompts and of its password dialog, the titles it tells them by, and
// the library's own messages when an order cannot be followed to its end.
#pragma once
#include <windows.h>

namespace zelvo {

namespace order_ids {
constexpr int promptText = 7013;     // a prompt's message text
constexpr int promptButton = 7015;   // a prompt's confirming button
constexpr int passwordOk = 7021;     // the password dialog's confirming button
constexpr int passwordEdit = 7023;   // the password dialog's edit
constexpr int passwordCheck = 7024;  // the password dialog's check box
}  // namespace order_ids

namespace order_texts {
// Found anywhere in the title of the client's trade confirmation.
constexpr char tradeConfirmTitle[] = "交易确认";
// The whole title of the client's password confirmation.
constexpr char passwordTitle[] = "密码确认";
// The client's busy prompt (the previous request has not returned yet),
// met by queries and cancels alike.
constexpr char clientBusy[] = "上次请求未返回，请不要频繁点击!";

// No pop-up came after the order click: the client may not have taken it.
constexpr char confirmationTimeout[] = "等待交易确认超时";
// The confirmation was accepted but no final prompt came: the order may be out.
constexpr char answerTimeout[] = "等待委托回报超时,委托结果未知";
// The password dialog stayed open.
constexpr char passwordTimeout[] = "等待密码确认超时";
// The order page lacks one of its four controls; nothing was written.
constexpr char controlsMissing[] = "下单页面控件缺失";
// The code is far longer than any security code; nothing was written (a
// megabyte of text in the client's code edit can stall the client).
constexpr char codeTooLong[] = "证券代码过长";
// The final prompt has no message control: the order may be out.
constexpr char answerUnreadable[] = "委托回报无法读取,委托结果未知";
}  // namespace order_texts

namespace order_limits {
// Security codes are a few characters; this leaves room for any market's.
constexpr size_t maxCodeBytes = 64;
}  // namespace order_limits

namespace order_texts {
}  // namespace order_texts

// Every wait for a pop-up of the client ends after this much elapsed time.
constexpr DWORD popupWaitMs = 30000;

}  // namespace zelvo
