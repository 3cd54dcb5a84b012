// Measures what the library costs on top of the client's own answer time,
// side by side with its floors, and prints a table (and a CSV file). It
// measures and prints only; it asserts nothing.
//
//   zelvo-bench [--quick] [--csv FILE]
//   zelvo-bench --outside-reader LIST_HWND ROWS COLUMNS   (the second process)
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "call_profile.h"
#include "client_floor.h"
#include "clock.h"
#include "editions.h"
#include "handles.h"
#include "list_reading.h"
#include "zelvo_exports.h"

namespace {

using bench::nowMs;
using substitute::Broker;
using substitute::Client;
using zelvo_common::UniqueHandle;

const char fundsCaption[] = "资金股份";
const char ordersCaption[] = "当日委托";
const char buyCaption[] = "买入";
constexpr unsigned long outsideReaderEndMs = 10000;

struct Figure {
    std::string measure;
    std::string variant;
    double value;
    std::string unit;
};

std::vector<Figure> figures;

double timeMs(const std::function<void()>& work)
{
    const double start = nowMs();
    work();
    return nowMs() - start;
}

double percentile(std::vector<double> values, double share)
{
    std::sort(values.begin(), values.end());
    const size_t index = std::min(values.size() - 1, static_cast<size_t>(share * static_cast<double>(values.size())));
    return values[index];
}

double median(const std::vector<double>& values)
{
    return percentile(values, 0.5);
}

void record(const std::string& measure, const std::string& variant, double value, const std::string& unit)
{
    figures.push_back({measure, variant, value, unit});
    std::printf("  %-28s %-34s %14.3f %s\n", measure.c_str(), variant.c_str(), value, unit.c_str());
    std::fflush(stdout);
}

std::vector<std::string> positionColumns(int count)
{
    std::vector<std::string> columns;
    for (int c = 0; c < count; ++c) {
        columns.push_back("列名" + std::to_string(c));
    }
    return columns;
}

std::vector<substitute::Row> positionRows(int rows, int columns)
{
    std::vector<substitute::Row> table(static_cast<size_t>(rows));
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            table[static_cast<size_t>(r)].push_back(c == 1 ? "浦发银行" : std::to_string(600000 + r * 7 + c));
        }
    }
    return table;
}

// Runs the second process that reads the list from outside the client.
double outsideReadMs(HWND list, int rows, int columns)
{
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    char command[512];
    std::snprintf(command, sizeof command, "\"%s\" --outside-reader %llu %d %d", self,
                  static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(list)), rows, columns);
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    UniqueHandle readEnd;
    UniqueHandle writeEnd;
    if (!CreatePipe(readEnd.put(), writeEnd.put(), &inherit, 0)) {
        return -1;
    }
    SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd.get();
    startup.hStdError = writeEnd.get();
    PROCESS_INFORMATION started = {};
    if (!CreateProcessA(nullptr, command, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &started)) {
        return -1;
    }
    const UniqueHandle process(started.hProcess);
    const UniqueHandle thread(started.hThread);
    // Only the reader's copy of the write end may stay open, or the read
    // below would never see the pipe end.
    writeEnd.reset();
    std::string output;
    char chunk[256];
    DWORD got = 0;
    while (ReadFile(readEnd.get(), chunk, sizeof chunk, &got, nullptr) && got > 0) {
        output.append(chunk, got);
    }
    // Its output has ended, so it is ending too.
    if (WaitForSingleObject(process.get(), outsideReaderEndMs) != WAIT_OBJECT_0) {
        std::printf("the outside reader did not end within %lu ms of its output\n", outsideReaderEndMs);
        return -1;
    }
    return std::atof(output.c_str());
}

void measureTableRead(Client& client, std::vector<char>& result, std::vector<char>& message, int runs, bool quick)
{
    std::printf("\n1. Table read: Zelvo_QueryData of a positions list, 15 columns (median of %d runs)\n", runs);
    const int columns = 15;
    for (int rows : quick ? std::vector<int>{100, 1000} : std::vector<int>{100, 1000, 5000}) {
        client.queries().setColumns(fundsCaption, positionColumns(columns));
        client.queries().setRows(fundsCaption, positionRows(rows, columns));
        Zelvo_QueryData(3, result.data(), message.data());  // fills the list
        const HWND list = FindWindowExA(client.page(fundsCaption), nullptr, "SysListView32", nullptr);
        std::vector<double> library, raw, inThread, outside;
        for (int run = 0; run < runs; ++run) {
            library.push_back(timeMs([&] { Zelvo_QueryData(3, result.data(), message.data()); }));
            raw.push_back(timeMs([&] { bench::readTable(list); }));
            client.onUi([&] { inThread.push_back(timeMs([&] { bench::readTable(list); })); });
            outside.push_back(outsideReadMs(list, rows, columns));
        }
        const double cells = static_cast<double>(rows) * columns;
        const std::string size = std::to_string(rows) + " rows";
        record("table read " + size, "library (Zelvo_QueryData)", cells / median(library) * 1000, "cells/s");
        record("table read " + size, "raw floor (same messages, caller)", cells / median(raw) * 1000, "cells/s");
        record("table read " + size, "physical floor (list's own thread)", cells / median(inThread) * 1000, "cells/s");
        record("table read " + size, "outside process (ReadProcessMemory)", cells / median(outside) * 1000, "cells/s");
        record("table read " + size, "ratio library/raw floor", median(library) / median(raw), "x time");
        record("table read " + size, "ratio outside/library", median(outside) / median(library), "x time");
    }
}

void measureAnswerLatency(Client& client, std::vector<char>& result, std::vector<char>& message, int queries)
{
    std::printf("\n2. Answer latency: client sets its status text -> Zelvo_QueryData returns (%d queries)\n", queries);
    client.queries().setColumns(ordersCaption, positionColumns(5));
    client.queries().setRows(ordersCaption, positionRows(5, 5));
    std::vector<double> latency;
    for (int q = 0; q < queries; ++q) {
        Zelvo_QueryData(4, result.data(), message.data());
        const double returned = nowMs();
        latency.push_back(returned - client.queries().lastStatusSetMs());
    }
    // Most of the latency is reading the answer: the same list read with no
    // library around it, to set beside it.
    const HWND list = FindWindowExA(client.page(ordersCaption), nullptr, "SysListView32", nullptr);
    std::vector<double> read;
    for (int q = 0; q < queries; ++q) {
        read.push_back(timeMs([&] { bench::readTable(list); }));
    }
    record("answer latency", "median", median(latency), "ms");
    record("answer latency", "99th percentile", percentile(latency, 0.99), "ms");
    record("answer latency", "raw read of the list, median", median(read), "ms");
    record("answer latency", "median less the raw read", median(latency) - median(read), "ms");
}

// An export's times beside the client's floors: prompts answered as shown
// and once painted.
void recordAgainstFloors(const std::string& measure, const std::string& medianVariant, const std::vector<double>& times,
                         const std::vector<double>& shown, const std::vector<double>& painted)
{
    record(measure, medianVariant, median(times), "ms");
    record(measure, "99th percentile", percentile(times, 0.99), "ms");
    record(measure, "client floor, prompts shown", median(shown), "ms");
    record(measure, "client floor, prompts painted", median(painted), "ms");
    record(measure, "overhead (median - floor shown)", median(times) - median(shown), "ms");
    record(measure, "overhead (median - floor painted)", median(times) - median(painted), "ms");
}

void measureOrders(Client& client, std::vector<char>& message, int orders)
{
    std::printf("\n3. Order and cancel overhead, the client's scripted delays at 0 (%d each)\n", orders);
    // Each export alternates with the same operation made by the client's own
    // thread, which clicks and answers every prompt itself: the client's
    // share, measured in the same conditions.
    bench::ClientFloor floor(client);
    std::vector<double> sendTimes, cancelTimes, sendFloor, cancelFloor, sendIdle, cancelIdle;
    std::vector<int> contracts;
    for (int o = 0; o < orders; ++o) {
        int contract = -1;
        sendTimes.push_back(timeMs([&] { contract = Zelvo_SendOrder(0, "600000", 10.5, 100, message.data()); }));
        contracts.push_back(contract);
        sendFloor.push_back(floor.orderMs(buyCaption, 2, bench::AnswerWhen::Shown));
        sendIdle.push_back(floor.orderMs(buyCaption, 2, bench::AnswerWhen::Idle));
    }
    std::vector<substitute::Row> rows;
    for (int contract : contracts) {
        rows.push_back({"09:30:00", "600000", "浦发银行", "买入", "10.500", "100", "0", std::to_string(contract), "已报"});
    }
    client.queries().setColumns(ordersCaption, {"委托时间", "证券代码", "证券名称", "买卖标志", "委托价格", "委托数量",
                                                "成交数量", "委托编号", "状态说明"});
    client.queries().setRows(ordersCaption, rows);
    for (int contract : contracts) {
        cancelTimes.push_back(timeMs([&] { (void)Zelvo_CancelOrder(contract, message.data()); }));
        cancelFloor.push_back(floor.cancelMs(ordersCaption, 2, bench::AnswerWhen::Shown));
        cancelIdle.push_back(floor.cancelMs(ordersCaption, 2, bench::AnswerWhen::Idle));
    }
    recordAgainstFloors("Zelvo_SendOrder", "median", sendTimes, sendFloor, sendIdle);
    recordAgainstFloors("Zelvo_CancelOrder", "median (refresh + prompts)", cancelTimes, cancelFloor, cancelIdle);
}

void measureAttach(std::vector<char>& message, int runs)
{
    std::printf("\n4. Attach: Zelvo_Login against its floor of 200 ms per page opened (%d runs)\n", runs);
    std::vector<double> times;
    size_t pages = 0;
    for (int run = 0; run < runs; ++run) {
        Client fresh(substitute::editionClient(Broker::Huatai, false));
        Zelvo_Logout();
        times.push_back(timeMs([&] { Zelvo_Login("", message.data()); }));
        pages = fresh.log().pagesOpened.size();
    }
    const double floor = static_cast<double>(pages) * 200.0;
    record("Zelvo_Login", "median", median(times), "ms");
    record("Zelvo_Login", "floor (" + std::to_string(pages) + " pages x 200 ms)", floor, "ms");
    record("Zelvo_Login", "ratio login/floor", median(times) / floor, "x time");

    // One more login, profiled: its sleeps and the client's handling of the
    // sent tree clicks (it builds each page in answer) are the part the
    // library cannot shorten.
    Client fresh(substitute::editionClient(Broker::Huatai, false));
    bench::CallProfile profile;
    Zelvo_Logout();
    profile.measure("Zelvo_Login", 1, [&] { Zelvo_Login("", message.data()); });
    const double fixed = profile.msPerRun("Sleep") + profile.msPerRun("SendMessageA WM_NOTIFY");
    record("Zelvo_Login", "sleeps + client opening pages", fixed, "ms");
    record("Zelvo_Login", "library's share (profiled run)", profile.wallMsPerRun() - fixed, "ms");
}

// Where the time of each export goes: per call of the library on the
// caller's thread, and the client's handling of what it was sent.
void profileExports(Client& client, std::vector<char>& result, std::vector<char>& message, bool quick)
{
    std::printf("\n5. Profile: where each export's time goes\n");
    const int runs = quick ? 10 : 50;
    {
        bench::CallProfile profile;
        profile.measure("Zelvo_QueryData, today's orders, 5x5 list", runs,
                        [&] { Zelvo_QueryData(4, result.data(), message.data()); });
        std::vector<int> contracts;
        profile.measure("Zelvo_SendOrder", runs, [&] {
            contracts.push_back(Zelvo_SendOrder(0, "600000", 10.5, 100, message.data()));
        });
        client.queries().setRows(ordersCaption, {{"09:30:00", "600000", "浦发银行", "买入", "10.500", "100", "0",
                                                  std::to_string(contracts.front()), "已报"}});
        profile.measure("Zelvo_CancelOrder", runs, [&] { (void)Zelvo_CancelOrder(contracts.front(), message.data()); });
    }
}

void writeCsv(const std::string& path)
{
    std::ofstream csv(path);
    csv << "measure,variant,value,unit\n";
    for (const Figure& f : figures) {
        csv << '"' << f.measure << "\",\"" << f.variant << "\"," << f.value << ',' << f.unit << '\n';
    }
    std::printf("\nfigures written to %s\n", path.c_str());
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && std::string(argv[1]) == "--outside-reader") {
        const auto list = reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::strtoull(argv[2], nullptr, 10)));
        std::printf("%.3f\n", timeMs([&] { bench::readTableFromOutside(list); }));
        return 0;
    }
    bool quick = false;
    std::string csv = "zelvo-bench.csv";
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--quick") {
            quick = true;
        } else if (option == "--csv" && i + 1 < argc) {
            csv = argv[++i];
        }
    }
    std::vector<char> result(zelvo_common::queryResultBufferBytes), message(zelvo_common::textBufferBytes);
    measureAttach(message, quick ? 2 : 5);
    Client client(substitute::editionClient(Broker::Huatai, false));
    client.queries().setDefaultReply({substitute::ReplyKind::Data, 0, ""});
    if (!Zelvo_Login("", message.data())) {
        std::printf("login failed\n");
        return 1;
    }
    measureTableRead(client, result, message, 5, quick);
    measureAnswerLatency(client, result, message, quick ? 50 : 200);
    measureOrders(client, message, quick ? 20 : 100);
    profileExports(client, result, message, quick);
    writeCsv(csv);
    return 0;
}
