// How long the library waits on the client, in one place. Every wait is
// bounded by elapsed time, so a coarse system timer cannot stretch it.
#pragma once
#include <windows.h>

namespace zelvo::bounds {

// Each exchange with the client's thread: a message sent, a text read, an
// accessible call. The client's thread does stop answering for seconds at a
// time (a slow network call made on it, a reconnect); past this the
// operation stops, sends nothing more and says so.
constexpr DWORD clientAnswerMs = 5000;

// Each prompt of an order or a cancel, and a query's answer.
constexpr DWORD answerWaitMs = 30000;
// A query's answer is also given up after this many polls, whichever comes first.
constexpr int queryPollLimit = 30000;
constexpr DWORD pollPauseMs = 1;

// One stray pop-up being closed; more than `popupLimit` in a row means the
// client keeps opening new ones.
constexpr DWORD popupCloseMs = 5000;
constexpr int popupLimit = 100;

// Attach: clicks on the trade switch until the function tree shows (about
// five seconds), and clicks on a tree item until its page opens (about ten).
constexpr DWORD switchClickPauseMs = 100;
constexpr int switchClickLimit = 50;
constexpr DWORD treeClickPauseMs = 100;
constexpr int treeClickLimit = 50;

}  // namespace zelvo::bounds
