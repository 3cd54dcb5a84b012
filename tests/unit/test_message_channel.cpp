// The bounded channel to the client's thread, against the substitute client
// with short bounds: a message given up on keeps its memory alive until the
// client has handled it, the client's late write lands inside that memory,
// and nothing more is sent once a message went unanswered.
#include <gtest/gtest.h>

#include <string>

#include "client.h"
#include "editions.h"
#include "library_view.h"
#include "platform/list_view_reader.h"
#include "platform/windows_ui.h"
#include "ui_thread.h"

using substitute::Client;
using substitute::Incident;
using substitute::Moment;
using zelvo::MessageBuffer;
using zelvo::MessageChannel;
using zelvo::PendingBuffers;

namespace {

constexpr DWORD boundMs = 300;
constexpr DWORD stallMs = 1200;

// A client whose funds page, with a list of a few rows, is open from the start.
substitute::ClientSetup clientWithFundsPage()
{
    substitute::ClientSetup setup = substitute::editionClient(substitute::Broker::Huatai, false);
    setup.openAtStart = "查询/资金股份";
    return setup;
}

HWND fundsList(const Client& client)
{
    return FindWindowExA(client.page("资金股份"), nullptr, WC_LISTVIEWA, nullptr);
}

}  // namespace

// The client stops inside its handling of a cell read: it writes the cell
// into the library's buffers after the library gave up. They are kept until
// a later message is answered, then freed with their guards intact.
TEST(MessageChannel, KeepsTheBuffersOfAnUnansweredReadUntilTheClientHasHandledIt)
{
    Client client(clientWithFundsPage());
    const HWND list = fundsList(client);
    ASSERT_NE(list, nullptr);
    LibraryView library(client.mainWindow(), boundMs);
    client.incidents().plan(Incident{Moment::CellRead, {}, 0, stallMs});

    const std::string cell = zelvo::ListViewReader(library.channel, list).cellText(0, 0);

    EXPECT_EQ(cell, "") << "an unanswered read gives nothing";
    EXPECT_TRUE(library.channel.lost());
    EXPECT_EQ(library.pending.count(), 2u) << "the list item and its text buffer";
    EXPECT_TRUE(zelvo::windowText(library.channel, client.mainWindow()).empty()) << "a lost channel sends nothing";
    ASSERT_TRUE(client.incidents().waitForBacklog(stallMs + 5000).has_value());
    EXPECT_EQ(library.pending.count(), 2u) << "kept until a later message proves the client handled it";

    MessageChannel next(library.pending, boundMs);
    EXPECT_EQ(zelvo::windowText(next, client.mainWindow()), client.setup().title);
    EXPECT_EQ(library.pending.count(), 0u);
    EXPECT_EQ(library.pending.brokenGuards(), 0u) << "the late write stayed inside the buffer";
}

// While the client is still stopped, the next call's first message (a probe
// without memory of its own) goes unanswered too, and the kept buffers stay.
TEST(MessageChannel, KeepsThemWhileTheClientStaysStopped)
{
    Client client(clientWithFundsPage());
    LibraryView library(client.mainWindow(), boundMs);
    client.incidents().plan(Incident{Moment::CellRead, {}, 1, 3 * boundMs + stallMs});
    static_cast<void>(zelvo::ListViewReader(library.channel, fundsList(client)).cellText(1, 0));
    ASSERT_EQ(library.pending.count(), 2u);

    MessageChannel next(library.pending, boundMs);
    EXPECT_TRUE(zelvo::windowText(next, client.mainWindow()).empty());
    EXPECT_TRUE(next.lost());
    EXPECT_EQ(library.pending.count(), 2u);
    ASSERT_TRUE(client.incidents().waitForBacklog(5 * boundMs + stallMs + 5000).has_value());
    MessageChannel third(library.pending, boundMs);
    EXPECT_TRUE(third.sync(client.mainWindow()));
    EXPECT_EQ(library.pending.brokenGuards(), 0u);
    EXPECT_EQ(library.pending.count(), 0u);
}

// Past the bound of kept buffers the client is taken as not answering: a
// message that carries memory is not sent at all.
TEST(MessageChannel, RefusesToSendMemoryPastTheBound)
{
    Client client({});
    PendingBuffers pending;
    constexpr DWORD elsewhere = 1;  // no thread of this test
    for (size_t kept = 0; kept < PendingBuffers::maxKept; ++kept) {
        pending.keep(elsewhere, MessageBuffer(8), zelvo::Release::Never);
    }
    MessageChannel channel(pending, boundMs);
    MessageBuffer text(64);

    EXPECT_FALSE(channel.send(client.mainWindow(), WM_GETTEXT, text.size(), text.address(), {&text}).has_value());
    EXPECT_TRUE(channel.lost());
    EXPECT_TRUE(text.guardsIntact()) << "the buffer stays the caller's: nothing was sent";
}

TEST(MessageChannel, GuardsShowAWritePastEitherEnd)
{
    MessageBuffer buffer(16);
    EXPECT_TRUE(buffer.guardsIntact());
    buffer.bytes()[16] = 'x';
    EXPECT_FALSE(buffer.guardsIntact());
    MessageBuffer before(16);
    before.bytes()[-1] = 'x';
    EXPECT_FALSE(before.guardsIntact());
}

// Showing and placing another thread's window wait, bounded, until its
// thread has done it.
TEST(MessageChannel, ShowsAndPlacesAnotherThreadsWindowBeforeReturning)
{
    substitute::ClientSetup setup;
    setup.placement = {-300, -200, 500, 400};
    Client client(setup);
    LibraryView library(client.mainWindow(), boundMs);

    ASSERT_TRUE(zelvo::showWindow(library.channel, client.mainWindow(), SW_HIDE));
    EXPECT_FALSE(client.isVisible());
    ASSERT_TRUE(zelvo::placeInsideDesktop(library.channel, client.mainWindow()));
    const RECT box = client.windowRect();
    EXPECT_EQ(box.left, 0);
    EXPECT_EQ(box.top, 0);
    EXPECT_EQ(box.right - box.left, 800) << "the size is kept";
    ASSERT_TRUE(zelvo::showWindow(library.channel, client.mainWindow(), SW_SHOWNORMAL));
    EXPECT_TRUE(client.isVisible());

    client.stall(stallMs);
    const ULONGLONG start = GetTickCount64();
    EXPECT_FALSE(zelvo::showWindow(library.channel, client.mainWindow(), SW_HIDE));
    EXPECT_LT(GetTickCount64() - start, boundMs + 500) << "a stopped client does not hold the caller";
}

namespace {

// A window of the client whose notification handler runs a modal loop for
// a while, as a client's click handler that opens a message box does.
constexpr DWORD modalMs = 1500;

LRESULT CALLBACK modalOnNotifyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NOTIFY) {
        substitute::pumpFor(modalMs);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND makeModalOnNotifyWindow(Client& client)
{
    HWND window = nullptr;
    client.onUi([&] {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = modalOnNotifyProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "ZelvoTestModalOnNotify";
        RegisterClassA(&windowClass);
        window = CreateWindowExA(0, windowClass.lpszClassName, "", WS_CHILD, 0, 0, 10, 10, client.mainWindow(),
                                 nullptr, windowClass.hInstance, nullptr);
    });
    return window;
}

}  // namespace

// A notification given up on while the client's handler runs a modal loop:
// the loop answers later messages from inside the handler, which has not
// returned, so no answer proves the notification handled. Its memory is
// kept for good; a read's is freed once a later message is answered.
TEST(MessageChannel, KeepsTheMemoryOfANotificationForGoodAndFreesAReadsOnceAnswered)
{
    Client client({});
    const HWND window = makeModalOnNotifyWindow(client);
    ASSERT_NE(window, nullptr);
    LibraryView library(client.mainWindow(), boundMs);
    MessageBuffer header(sizeof(NMHDR));

    EXPECT_FALSE(library.channel.send(window, WM_NOTIFY, 0, header.address(), {&header}).has_value());
    ASSERT_EQ(library.pending.count(), 1u);

    MessageChannel next(library.pending, boundMs);
    EXPECT_TRUE(next.sync(window)) << "answered from inside the handler's modal loop";
    EXPECT_EQ(library.pending.count(), 1u) << "the handler may still read the notification";
    Sleep(modalMs);
    MessageChannel later(library.pending, boundMs);
    EXPECT_TRUE(later.sync(window));
    EXPECT_EQ(library.pending.count(), 1u) << "nothing tells when it returned: kept for the session's life";

    client.stall(stallMs);
    MessageChannel reading(library.pending, boundMs);
    EXPECT_EQ(zelvo::windowText(reading, client.mainWindow()), "");
    EXPECT_EQ(library.pending.count(), 2u);
    ASSERT_TRUE(client.incidents().waitForBacklog(stallMs + 5000).has_value());
    MessageChannel afterwards(library.pending, boundMs);
    EXPECT_TRUE(afterwards.sync(client.mainWindow()));
    EXPECT_EQ(library.pending.count(), 1u) << "the read's text buffer is freed, the notification's kept";
}
