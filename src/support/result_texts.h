// What the query wait knows of the client: the prompt layout, the texts it
// compares and writes, the editions whose shortable-securities page is
// refreshed in their own way, and the bounds of the wait.
#pragma once
#include <windows.h>

namespace zelvo::result_texts {

// The query button of the shortable-securities page on the one edition
// that has its own.
constexpr int shortableQueryButtonId = 234;

constexpr char listViewClass[] = "SysListView32";

// Message row: no matching records; the status text still follows.
constexpr char noRecords[] = "没有相应的查询信息!";
constexpr char timedOut[] = "查询超时";
// The toolbar's Refresh button.
constexpr char refreshButton[] = "刷新";

// Broker names whose shortable page is not refreshed by its credit query
// button.
constexpr char zhaoshangBroker[] = "招商";
constexpr char guoxinBroker[] = "国信";
constexpr char qiluBroker[] = "齐鲁";
constexpr char guotaiBroker[] = "国泰君安";

// The wait ends at whichever bound comes first: the poll count, or the
// elapsed time that count was meant to be (a 1 ms sleep lasts up to 15.6 ms
// at the default timer resolution).
constexpr int pollLimit = 30000;
constexpr DWORD waitLimitMs = 30000;
constexpr DWORD pollPauseMs = 1;

}  // namespace zelvo::result_texts
