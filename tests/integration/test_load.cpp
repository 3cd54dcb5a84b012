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
};

Counts processCounts()
{
    Counts counts;
    GetProcessHandleCount(GetCurrentProcess(), &counts.handles);
    counts.gdiObjects = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    counts.userObjects = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
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
    Client client(editionClient(Broker::Huatai, false));
    client.queries().setDefaultReply({substitute::ReplyKind::Data, 0, ""});
    ZelvoLibrary zelvo;
    ASSERT_TRUE(zelvo.login().attached);
    (void)zelvo.query(3);
    const Counts before = processCounts();
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
    const Counts after = processCounts();
    EXPECT_LE(after.handles, before.handles + 2) << "handles leak";
    EXPECT_EQ(after.gdiObjects, before.gdiObjects);
    EXPECT_EQ(after.userObjects, before.userObjects);
    std::printf("load: %d calls, %d orders placed, handles %lu -> %lu\n", tally.calls.load(), clientContracts,
                before.handles, after.handles);
}
