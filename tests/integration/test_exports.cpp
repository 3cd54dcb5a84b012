// The exports as a caller meets them: null and exactly sized buffers,
// getters before an attach, and calls from two threads taking turns.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>

#include "editions.h"
#include "handles.h"
#include "zelvo_library.h"

using substitute::Broker;
using substitute::Client;
using substitute::editionClient;

namespace {

substitute::ClientSetup huatai()
{
    return editionClient(Broker::Huatai, false);
}

}  // namespace

TEST(Exports, BuffersNullPointersAndExactSizes)
{
    Client client(huatai());
    ZelvoLibrary zelvo;
    ASSERT_TRUE(zelvo.Login(nullptr, nullptr)) << "a null password attaches as an empty one";
    zelvo.GetBroker(nullptr);
    zelvo.QueryData(99, nullptr, nullptr);
    char exact[5] = {'x', 'x', 'x', 'x', 'x'};  // "华泰" is 4 bytes: needs 5
    zelvo.GetBroker(exact);
    EXPECT_EQ(std::string(exact), "华泰");
    EXPECT_EQ(exact[4], '\0');
    const QueryAnswer unsupportedKind = zelvo.query(12);
    EXPECT_EQ(unsupportedKind.text, "") << "both buffers are always written";
    EXPECT_EQ(unsupportedKind.message, "不支持");
}

TEST(Exports, GettersBeforeAttachAreEmpty)
{
    ZelvoLibrary zelvo;
    char text[8] = {'x', 'x'};
    zelvo.GetBroker(text);
    EXPECT_EQ(text[0], '\0');
    EXPECT_EQ(zelvo.title(), "");
    EXPECT_EQ(zelvo.account(), "");
    zelvo.logout();
    EXPECT_EQ(zelvo.title(), "");
}

// The client holds the attach at its first tree click (the test's gate)
// while a getter is called from a second thread: the getter must wait for
// the whole attach, and then answer from the finished session.
TEST(Exports, CallsFromTwoThreadsAreSerialised)
{
    Client client(huatai());
    ZelvoLibrary zelvo;
    substitute::Gate& gate = client.gate();
    gate.close(substitute::Moment::TreeClicked);
    bool attached = false;
    std::thread attacher([&] { attached = zelvo.login().attached; });
    const bool held = gate.awaitHeld(30000);

    const zelvo_common::UniqueEvent getterReturned =
        zelvo_common::createEvent(zelvo_common::EventReset::Manual, false);
    std::string broker;
    std::thread getter([&] {
        broker = zelvo.broker();
        SetEvent(getterReturned.get());
    });
    // A getter that did not wait would be back within microseconds.
    const bool returnedWhileHeld = WaitForSingleObject(getterReturned.get(), 1000) == WAIT_OBJECT_0;
    gate.open();
    attacher.join();
    getter.join();

    ASSERT_TRUE(held) << "the attach did not reach the function tree";
    EXPECT_FALSE(returnedWhileHeld) << "the getter ran while the attach held the session";
    EXPECT_TRUE(attached);
    EXPECT_EQ(broker, "华泰") << "the getter answered from the finished attach";
}

namespace {

// Whether the module holding `code` is still loaded.
bool loadedAt(const void* code)
{
    HMODULE module = nullptr;
    return GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              static_cast<LPCWSTR>(code), &module) != FALSE;
}

// Loads a copy of the library, runs `work` on it and unloads it as a host
// would; whether the library stayed loaded.
bool staysLoadedAfter(const std::function<void(ZelvoLibrary&)>& work)
{
    const void* code = nullptr;
    {
        ZelvoLibrary zelvo;
        code = reinterpret_cast<const void*>(zelvo.Login);
        work(zelvo);
    }
    return loadedAt(code);
}

}  // namespace

// Once the library has put a procedure of its own in front of a client's
// list, or handed the client memory of its own, a host's FreeLibrary must
// not unmap it: the client may still run that code or read that memory.
// Before that, it unloads as any library does.
TEST(Exports, TheLibraryStaysLoadedOnceTheClientMayHoldItsCodeOrMemory)
{
    Client client(huatai());
    EXPECT_FALSE(staysLoadedAfter([](ZelvoLibrary& zelvo) { ASSERT_TRUE(zelvo.login().attached); }));
    EXPECT_TRUE(staysLoadedAfter([](ZelvoLibrary& zelvo) {
        ASSERT_TRUE(zelvo.login().attached);
        EXPECT_EQ(zelvo.query(3).message, "查询完毕");
    }));
    EXPECT_EQ(SendMessageA(client.mainWindow(), WM_NULL, 0, 0), 0) << "and answers";
}
