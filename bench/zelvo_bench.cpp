// Measures what the library costs on top of the client's own answer time,
// side by side with its floors, and prints a table (and a CSV file). It
// measures and prints only; it asserts nothing. With --windows-timer each of
// the library's figures is measured in two modes, in turn: zelvo.dll's Sleep
// as it runs here, and as Windows' default timer would make it
// (windows_timer.h). The floors, on the client's own thread, do not go
// through zelvo.dll and are measured once, beside both.
//
// With --shape NAME every substitute client of the run takes that shape
// (substitute/shape.h: plain, realistic, busy).
//
//   zelvo-bench [--quick] [--windows-timer] [--shape NAME] [--csv FILE]
//   zelvo-bench --outside-reader LIST_HWND ROWS COLUMNS   (the second process)
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "call_profile.h"
#include "client_floor.h"
#include "clock.h"
#include "editions.h"
#include "figures.h"
#include "handles.h"
#include "list_reading.h"
#include "shape.h"
#include "windows_timer.h"
#include "zelvo_exports.h"

namespace {

using bench::nowMs;
using bench::TimerMode;
using substitute::Broker;
using substitute::Client;
using zelvo_common::UniqueHandle;

const char fundsCaption[] = "资金股份";
const char ordersCaption[] = "当日委托";
const char buyCaption[] = "买入";
constexpr unsigned long outsideReaderEndMs = 10000;

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

// The samples of one figure, per timer mode measured (in the order of
// Figures::modes()).
using ModeSamples = std::vector<std::vector<double>>;

// Runs `work` once in each timer mode, one after the other, so that the
// modes share whatever else the machine is doing at the time. The mode that
// goes first in a round may pay for what the client is still finishing from
// the run before (a floor run's prompts going away), so the rounds take
// turns at which mode goes first.
void inEachMode(const bench::Figures& figures, int round, const std::function<void(size_t)>& work)
{
    const size_t count = figures.modes().size();
    for (size_t step = 0; step < count; ++step) {
        const size_t m = (static_cast<size_t>(round) + step) % count;
        bench::runInTimerMode(figures.modes()[m], [&] { work(m); });
    }
}

// One figure per timer mode measured.
std::vector<double> eachMode(const bench::Figures& figures, const std::function<double(size_t)>& figure)
{
    std::vector<double> values;
    for (size_t m = 0; m < figures.modes().size(); ++m) {
        values.push_back(figure(m));
    }
    return values;
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

std::string tableGoal(int rows)
{
    return "table read, " + std::to_string(rows) + " rows x 15 columns: within 2x the physical floor";
}

// The library's read of one list size, timed in each mode, beside the three
// floors: the same messages from the caller's thread, from the list's own
// thread, and from another process.
void measureTableSize(Client& client, bench::Figures& figures, std::vector<char>& result, std::vector<char>& message,
                      int rows, int runs)
{
    const int columns = 15;
    client.queries().setColumns(fundsCaption, positionColumns(columns));
    client.queries().setRows(fundsCaption, positionRows(rows, columns));
    client.queries().setDefaultReply({substitute::ReplyKind::Data, 0, ""});
    Zelvo_QueryData(3, result.data(), message.data());  // fills the list
    // The timed queries leave the list as it is: what is timed is the
    // library's query and read, not the client filling its list anew.
    client.queries().setDefaultReply({substitute::ReplyKind::StatusOnly, 0, ""});
    const HWND list = FindWindowExA(client.page(fundsCaption), nullptr, "SysListView32", nullptr);
    ModeSamples library(figures.modes().size());
    std::vector<double> raw, inThread, outside;
    for (int run = 0; run < runs; ++run) {
        inEachMode(figures, run, [&](size_t m) {
            library[m].push_back(timeMs([&] { Zelvo_QueryData(3, result.data(), message.data()); }));
        });
        raw.push_back(timeMs([&] { bench::readTable(list); }));
        client.onUi([&] { inThread.push_back(timeMs([&] { bench::readTable(list); })); });
        outside.push_back(outsideReadMs(list, rows, columns));
    }
    const double cells = static_cast<double>(rows) * columns;
    const std::string measure = "table read " + std::to_string(rows) + " rows";
    const auto libraryOver = [&](double floorMs) {
        return eachMode(figures, [&](size_t m) { return median(library[m]) / floorMs; });
    };
    figures.record(measure, "library (Zelvo_QueryData)",
                   eachMode(figures, [&](size_t m) { return cells / median(library[m]) * 1000; }), "cells/s");
    figures.recordFloor(measure, "raw floor (same messages, caller)", cells / median(raw) * 1000, "cells/s");
    figures.recordFloor(measure, "physical floor (list's own thread)", cells / median(inThread) * 1000, "cells/s");
    figures.recordFloor(measure, "outside process (ReadProcessMemory)", cells / median(outside) * 1000, "cells/s");
    figures.record(measure, "ratio library/raw floor", libraryOver(median(raw)), "x time");
    const std::vector<double> overPhysical = libraryOver(median(inThread));
    figures.record(measure, "ratio library/physical floor", overPhysical, "x time");
    figures.record(measure, "ratio outside/library",
                   eachMode(figures, [&](size_t m) { return median(outside) / median(library[m]); }), "x time");
    figures.goal(1, tableGoal(rows), overPhysical, 2.0, "x time");
    client.queries().setDefaultReply({substitute::ReplyKind::Data, 0, ""});
}

void measureTableRead(Client& client, bench::Figures& figures, std::vector<char>& result, std::vector<char>& message,
                      int runs, bool quick)
{
    std::printf("\n1. Table read: Zelvo_QueryData of a positions list, 15 columns (median of %d runs)\n", runs);
    figures.printColumns();
    for (int rows : {100, 1000, 5000}) {
        if (quick && rows == 5000) {
            figures.goalNotMeasured(1, tableGoal(rows), "not measured (--quick)");
            continue;
        }
        measureTableSize(client, figures, result, message, rows, runs);
    }
}

void measureAnswerLatency(Client& client, bench::Figures& figures, std::vector<char>& result,
                          std::vector<char>& message, int queries)
{
    std::printf("\n2. Answer latency: client sets its status text -> Zelvo_QueryData returns (%d queries)\n", queries);
    figures.printColumns();
    client.queries().setColumns(ordersCaption, positionColumns(5));
    client.queries().setRows(ordersCaption, positionRows(5, 5));
    ModeSamples latency(figures.modes().size());
    for (int q = 0; q < queries; ++q) {
        inEachMode(figures, q, [&](size_t m) {
            Zelvo_QueryData(4, result.data(), message.data());
            const double returned = nowMs();
            latency[m].push_back(returned - client.queries().lastStatusSetMs());
        });
    }
    // Most of the latency is reading the answer: the same list read with no
    // library around it, to set beside it.
    const HWND list = FindWindowExA(client.page(ordersCaption), nullptr, "SysListView32", nullptr);
    std::vector<double> read;
    for (int q = 0; q < queries; ++q) {
        read.push_back(timeMs([&] { bench::readTable(list); }));
    }
    const std::vector<double> medians = eachMode(figures, [&](size_t m) { return median(latency[m]); });
    figures.record("answer latency", "median", medians, "ms");
    figures.record("answer latency", "99th percentile",
                   eachMode(figures, [&](size_t m) { return percentile(latency[m], 0.99); }), "ms");
    figures.recordFloor("answer latency", "raw read of the list, median", median(read), "ms");
    figures.record("answer latency", "median less the raw read",
                   eachMode(figures, [&](size_t m) { return medians[m] - median(read); }), "ms");
    figures.goal(2, "answer latency: median within 2 ms of the client's answer", medians, 2.0, "ms");
}

// An export's times beside the client's floors: prompts answered as shown
// and once painted.
void recordAgainstFloors(bench::Figures& figures, const std::string& measure, const std::string& medianVariant,
                         const ModeSamples& times, const std::vector<double>& shown,
                         const std::vector<double>& painted)
{
    const std::vector<double> medians = eachMode(figures, [&](size_t m) { return median(times[m]); });
    const auto overFloor = [&](const std::vector<double>& floor) {
        return eachMode(figures, [&](size_t m) { return medians[m] - median(floor); });
    };
    figures.record(measure, medianVariant, medians, "ms");
    figures.record(measure, "99th percentile", eachMode(figures, [&](size_t m) { return percentile(times[m], 0.99); }),
                   "ms");
    figures.recordFloor(measure, "client floor, prompts shown", median(shown), "ms");
    figures.recordFloor(measure, "client floor, prompts painted", median(painted), "ms");
    figures.record(measure, "overhead (median - floor shown)", overFloor(shown), "ms");
    figures.record(measure, "overhead (median - floor painted)", overFloor(painted), "ms");
    figures.goal(3, measure + ": median within 3 ms of the floor, prompts shown", overFloor(shown), 3.0, "ms");
}

// Today's orders as the client lists them after a refresh: the orders sent.
void listOrders(Client& client, const std::vector<int>& contracts)
{
    std::vector<substitute::Row> rows;
    for (int contract : contracts) {
        rows.push_back({"09:30:00", "600000", "浦发银行", "买入", "10.500", "100", "0", std::to_string(contract), "已报"});
    }
    client.queries().setColumns(ordersCaption, {"委托时间", "证券代码", "证券名称", "买卖标志", "委托价格", "委托数量",
                                                "成交数量", "委托编号", "状态说明"});
    client.queries().setRows(ordersCaption, rows);
}

void measureOrders(Client& client, bench::Figures& figures, std::vector<char>& message, int orders)
{
    std::printf("\n3. Order and cancel overhead, the client's scripted delays at 0 (%d each)\n", orders);
    figures.printColumns();
    // Each export alternates with the same operation made by the client's own
    // thread, which clicks and answers every prompt itself: the client's
    // share, measured in the same conditions.
    bench::ClientFloor floor(client);
    ModeSamples sendTimes(figures.modes().size()), cancelTimes(figures.modes().size());
    std::vector<double> sendFloor, cancelFloor, sendIdle, cancelIdle;
    std::vector<int> contracts;
    for (int o = 0; o < orders; ++o) {
        inEachMode(figures, o, [&](size_t m) {
            int contract = -1;
            sendTimes[m].push_back(timeMs([&] { contract = Zelvo_SendOrder(0, "600000", 10.5, 100, message.data()); }));
            if (m == 0) {
                contracts.push_back(contract);
            }
        });
        sendFloor.push_back(floor.orderMs(buyCaption, 2, bench::AnswerWhen::Shown));
        sendIdle.push_back(floor.orderMs(buyCaption, 2, bench::AnswerWhen::Idle));
    }
    // The client keeps an order listed after its cancel, so each mode
    // cancels the same orders and finds each at the same row.
    listOrders(client, contracts);
    for (size_t c = 0; c < contracts.size(); ++c) {
        inEachMode(figures, static_cast<int>(c), [&](size_t m) {
            cancelTimes[m].push_back(timeMs([&] { (void)Zelvo_CancelOrder(contracts[c], message.data()); }));
        });
        cancelFloor.push_back(floor.cancelMs(ordersCaption, 2, bench::AnswerWhen::Shown));
        cancelIdle.push_back(floor.cancelMs(ordersCaption, 2, bench::AnswerWhen::Idle));
    }
    recordAgainstFloors(figures, "Zelvo_SendOrder", "median", sendTimes, sendFloor, sendIdle);
    recordAgainstFloors(figures, "Zelvo_CancelOrder", "median (refresh + prompts)", cancelTimes, cancelFloor,
                        cancelIdle);
}

// Profiles `work` in `mode`. Under the Windows timer it also says whether the
// library's sleeps held the finer timer: the periods asked for and the
// sleeps made while a 1 ms period was held, per run.
void profileInMode(bench::CallProfile& profile, TimerMode mode, const std::string& title, int runs,
                   const std::function<void()>& work)
{
    if (mode == TimerMode::Native) {
        profile.measure(title, runs, work);
        return;
    }
    const bench::TimerCounts before = bench::windowsTimerCounts();
    profile.measure(title + ", " + bench::timerModeName(mode), runs, work);
    const bench::TimerCounts after = bench::windowsTimerCounts();
    const auto perRun = [&](unsigned long later, unsigned long earlier) {
        return static_cast<double>(later - earlier) / runs;
    };
    const unsigned long sleeps = after.sleeps - before.sleeps;
    std::printf("    windows timer: %.1f timer periods asked for per run (1 ms periods held after the runs: %ld)\n",
                perRun(after.periodsAsked, before.periodsAsked), after.finePeriodsHeld);
    std::printf("    windows timer: %.1f sleeps per run, %.1f of them with a 1 ms period held; wake-ups %.3f ms "
                "past their tick on average\n",
                perRun(after.sleeps, before.sleeps), perRun(after.fineSleeps, before.fineSleeps),
                sleeps == 0 ? 0.0 : (after.lateMs - before.lateMs) / sleeps);
    std::fflush(stdout);
}

// One more login per mode, profiled: its sleeps and the client's handling of
// the sent tree clicks (it builds each page in answer) are the part the
// library cannot shorten.
void profileAttach(bench::Figures& figures, std::vector<char>& message)
{
    std::vector<double> fixed, share;
    inEachMode(figures, 0, [&](size_t m) {
        Client fresh(substitute::editionClient(Broker::Huatai, false));
        bench::CallProfile profile;
        Zelvo_Logout();
        profileInMode(profile, figures.modes()[m], "Zelvo_Login", 1, [&] { Zelvo_Login("", message.data()); });
        fixed.push_back(profile.msPerRun("Sleep") + profile.msPerRun("SendMessageA WM_NOTIFY") +
                        profile.msPerRun("SendMessageTimeoutA WM_NOTIFY"));
        share.push_back(profile.wallMsPerRun() - fixed.back());
    });
    figures.record("Zelvo_Login", "sleeps + client opening pages", fixed, "ms");
    figures.record("Zelvo_Login", "library's share (profiled run)", share, "ms");
}

void measureAttach(bench::Figures& figures, std::vector<char>& message, int runs)
{
    std::printf("\n4. Attach: Zelvo_Login against its floor of 200 ms per page opened (%d runs)\n", runs);
    figures.printColumns();
    ModeSamples times(figures.modes().size());
    size_t pages = 0;
    for (int run = 0; run < runs; ++run) {
        inEachMode(figures, run, [&](size_t m) {
            Client fresh(substitute::editionClient(Broker::Huatai, false));
            Zelvo_Logout();
            times[m].push_back(timeMs([&] { Zelvo_Login("", message.data()); }));
            pages = fresh.log().pagesOpened.size();
        });
    }
    const double floor = static_cast<double>(pages) * 200.0;
    const std::vector<double> ratios = eachMode(figures, [&](size_t m) { return median(times[m]) / floor; });
    figures.record("Zelvo_Login", "median", eachMode(figures, [&](size_t m) { return median(times[m]); }), "ms");
    figures.recordFloor("Zelvo_Login", "floor (" + std::to_string(pages) + " pages x 200 ms)", floor, "ms");
    figures.record("Zelvo_Login", "ratio login/floor", ratios, "x time");
    figures.goal(4, "attach (Zelvo_Login): within 1.1x its floor", ratios, 1.1, "x time");
    profileAttach(figures, message);
}

// Where the time of each export goes: per call of the library on the
// caller's thread, and the client's handling of what it was sent.
void profileExportsInMode(Client& client, TimerMode mode, std::vector<char>& result, std::vector<char>& message,
                          int runs)
{
    bench::CallProfile profile;
    profileInMode(profile, mode, "Zelvo_QueryData, today's orders, 5x5 list", runs,
                  [&] { Zelvo_QueryData(4, result.data(), message.data()); });
    std::vector<int> contracts;
    profileInMode(profile, mode, "Zelvo_SendOrder", runs,
                  [&] { contracts.push_back(Zelvo_SendOrder(0, "600000", 10.5, 100, message.data())); });
    client.queries().setRows(ordersCaption, {{"09:30:00", "600000", "浦发银行", "买入", "10.500", "100", "0",
                                              std::to_string(contracts.front()), "已报"}});
    profileInMode(profile, mode, "Zelvo_CancelOrder", runs,
                  [&] { (void)Zelvo_CancelOrder(contracts.front(), message.data()); });
}

void profileExports(Client& client, const bench::Figures& figures, std::vector<char>& result,
                    std::vector<char>& message, bool quick)
{
    std::printf("\n5. Profile: where each export's time goes\n");
    for (TimerMode mode : figures.modes()) {
        bench::runInTimerMode(mode, [&] { profileExportsInMode(client, mode, result, message, quick ? 10 : 50); });
    }
}

struct Options {
    bool quick = false;
    bool windowsTimer = false;
    substitute::Shape shape = substitute::Shape::Plain;
    std::string csv = "zelvo-bench.csv";
};

Options parseOptions(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--quick") {
            options.quick = true;
        } else if (option == "--windows-timer") {
            options.windowsTimer = true;
        } else if (option == "--csv" && i + 1 < argc) {
            options.csv = argv[++i];
        } else if (option == "--shape" && i + 1 < argc) {
            const std::optional<substitute::Shape> shape = substitute::shapeNamed(argv[++i]);
            if (!shape) {
                std::printf("unknown shape %s (plain, realistic, busy)\n", argv[i]);
                std::exit(2);
            }
            options.shape = *shape;
        }
    }
    return options;
}

void printModes(const bench::Figures& figures)
{
    if (figures.modes().size() == 1) {
        return;
    }
    std::printf("\ntimer modes, each measured in turn: native (zelvo.dll's Sleep as it runs here) and windows timer\n"
                "(zelvo.dll's Sleep ends at a 15.625 ms tick, at a 1 ms tick while it holds a 1 ms timer period);\n"
                "the floors, on the client's own thread, are the same in both and measured once\n");
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && std::string(argv[1]) == "--outside-reader") {
        const auto list = reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::strtoull(argv[2], nullptr, 10)));
        std::printf("%.3f\n", timeMs([&] { bench::readTableFromOutside(list); }));
        return 0;
    }
    const Options options = parseOptions(argc, argv);
    substitute::setProcessShape(options.shape);
    std::printf("client shape: %s\n", substitute::shapeName(options.shape));
    bench::Figures figures(options.windowsTimer ? std::vector<TimerMode>{TimerMode::Native, TimerMode::Windows}
                                                : std::vector<TimerMode>{TimerMode::Native});
    printModes(figures);
    std::vector<char> result(zelvo_common::queryResultBufferBytes), message(zelvo_common::textBufferBytes);
    measureAttach(figures, message, options.quick ? 2 : 5);
    Client client(substitute::editionClient(Broker::Huatai, false));
    client.queries().setDefaultReply({substitute::ReplyKind::Data, 0, ""});
    if (!Zelvo_Login("", message.data())) {
        std::printf("login failed\n");
        return 1;
    }
    measureTableRead(client, figures, result, message, 5, options.quick);
    measureAnswerLatency(client, figures, result, message, options.quick ? 50 : 200);
    measureOrders(client, figures, message, options.quick ? 20 : 100);
    figures.printGoals();
    profileExports(client, figures, result, message, options.quick);
    figures.writeCsv(options.csv);
    return 0;
}
