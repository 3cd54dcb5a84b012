// What a cancel knows of the client's today's-orders page and its cancel
// prompts, and the library's own messages when a cancel cannot go on.
#pragma once

namespace zelvo::cancel_texts {

// The today's-orders list: the page's first direct child of this class.
constexpr char listViewClass[] = "SysListView32";
// The column searched for the order number, and the column the list must
// also have for its rows to be orders.
constexpr char orderNoColumn[] = "委托编号";
constexpr char codeColumn[] = "证券代码";

// Found in the message of the client's cancel confirmation (ASCII colon and
// one ASCII space between the words).
constexpr char confirmationMarker[] = "操作类别: 撤单";

// No row of the list carries the order number.
constexpr char orderMissing[] = "委托不存在";
// The list is not the orders list the cancel expects.
constexpr char cancelError[] = "撤单出错";
// No prompt came after the double click: nothing was cancelled.
constexpr char confirmationTimeout[] = "等待撤单确认超时";
// The confirmation was accepted but the client's answer did not come.
constexpr char answerTimeout[] = "等待撤单回报超时";

// Query kind whose refresh reads the today's-orders page.
constexpr int refreshKind = 0;

}  // namespace zelvo::cancel_texts
