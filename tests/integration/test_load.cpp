// Eight caller threads running a mix of every export against one client:
// every call returns, the answers match what the client recorded, and the
// process holds no more handles or window objects afterwards.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "editions.h"
#include "zelvo_library.h"

using substitute::Broker;
using substitute::Client;
using substitute::editionClient;

namespace {

struct Counts {
    DWORD handles = 0;
    DWORD gdiObjects = 0;
    DWORD userObjects = 0;
    int windows = 0;        // every window of this process, top-level and child
    long toolbarObjects = 0;  // the client's accessible objects still alive
};

BOOL CALLBACK countChild(HWND, LPARAM count)
{
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

BOOL CALLBACK countTopLevel(HWND window, LPARAM count)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId()) {
        ++*reinterpret_cast<int*>(count);
        EnumChildWindows(window, countChild, count);
    }
    return TRUE;
}

// Windows reports handle and GDI/USER object counts; Wine answers 0 for
// those, so the windows are also counted one by one.
Counts processCounts(const Client& client)
{
    Counts counts;
    GetProcessHandleCount(GetCurrentProcess(), &counts.handles);
    counts.gdiObjects = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    counts.userObjects = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    EnumWindows(countTopLevel, reinterpret_cast<LPARAM>(&counts.windows));
    counts.toolbarObjects = client.toolbarLog().liveObjects();
    return counts;
}

struct Tally {
    std::atomic<int> calls{0};
    std::atomic<int> contracts{0};
    std::atomic<int> wrongAnswers{0};
};

// One caller's share of the mix; `seed` varies the order of the calls.
void callerThread(ZelvoLibrary& zelvo, Tally& tally, int seed, int calls)
{
    for (int call = 0; call < calls; ++call) {
        switch ((call * 7 + seed) % 10) {
        case 0: case 1: case 2: {
            const QueryAnswer answer = zelvo.query(call % 12);
            tally.wrongAnswers += answer.message.empty() ? 1 : 0;
            break;
        }
        case 3: case 4: {
            const OrderAnswer answer = zelvo.order(call % 2, "600000", 10.5, 100);
            tally.contracts += answer.contract > 0 ? 1 : 0;
            tally.wrongAnswers += answer.contract > 0 || answer.message == "未登录" ? 0 : 1;
            break;
        }
        case 5: (void)zelvo.cancel(999999); break;
        case 6: (void)zelvo.title(); break;
        case 7: (void)zelvo.broker(); break;
        case 8: (void)zelvo.account(); break;
        default:
            if (call % 125 == 9) {  // now and then a caller detaches and attaches again
                zelvo.logout();
                tally.wrongAnswers += zelvo.login().attached ? 0 : 1;
            }
            break;
        }
        ++tally.calls;
    }
}

}  // namespace

TEST(Load, EightThreadsOfMixedCalls)
{
    // An edition whose shortable query presses the accessible toolbar.
    Client client(editionClient(Broker::Zhaoshang, false));
    client.queries().setDefaultReply({substitute::ReplyKind::Data, 0, ""});
    ZelvoLibrary zelvo;
    ASSERT_TRUE(zelvo.login().attached);
    (void)zelvo.query(3);
    const Counts before = processCounts(client);
    Tally tally;
    const int threads = 8;
    const int callsEach = 250;
    std::vector<std::thread> callers;
    for (int t = 0; t < threads; ++t) {
        callers.emplace_back([&, t] { callerThread(zelvo, tally, t, callsEach); });
    }
    for (auto& caller : callers) {
        caller.join();
    }
    EXPECT_EQ(tally.calls.load(), threads * callsEach);
    EXPECT_EQ(tally.wrongAnswers.load(), 0);
    int clientContracts = 0;
    for (const auto& ticket : client.orders().tickets()) {
        clientContracts += ticket.contract > 0 ? 1 : 0;
    }
    EXPECT_EQ(tally.contracts.load(), clientContracts) << "every contract the client gave reached its caller";
    // The last prompt may still be closing (the client ends its modal loop
    // after the click that closed it has returned): let the counts settle.
    Counts after = processCounts(client);
    for (int wait = 0; wait < 40 && after.windows != before.windows; ++wait) {
        Sleep(50);
        after = processCounts(client);
    }
    EXPECT_LE(after.handles, before.handles + 2) << "handles leak";
    EXPECT_EQ(after.gdiObjects, before.gdiObjects);
    EXPECT_EQ(after.userObjects, before.userObjects);
    EXPECT_EQ(after.windows, before.windows) << "windows leak (or a prompt was left open)";
    EXPECT_EQ(after.toolbarObjects, before.toolbarObjects) << "accessible objects leak";
    std::printf("load: %d calls, %d orders placed, windows %d -> %d, toolbar objects %ld -> %ld, handles %lu -> %lu\n",
                tally.calls.load(), clientContracts, before.windows, after.windows, before.toolbarObjects,
                after.toolbarObjects, before.handles, after.handles);
}
