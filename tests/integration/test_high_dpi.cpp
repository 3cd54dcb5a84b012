// A client on a high-DPI screen: the process is per-monitor DPI aware and
// the screen is at 150% (the suite's ctest entry sets both), so the client
// lays its trade switch out 1.5 times as large in pixels. The library clicks
// the switch where it shows the tree, on an ordinary edition (an inset from
// the corner) and on the credit edition clicked five eighths across.
#include <gtest/gtest.h>

#include "editions.h"
#include "zelvo_library.h"

using substitute::Broker;
using substitute::Client;
using substitute::ClientSetup;
using substitute::editionClient;

namespace {

UINT dpiOf(HWND window)
{
    using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
    const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    return getDpiForWindow == nullptr ? 0 : getDpiForWindow(window);
}

}  // namespace

TEST(HighDpi, TheSwitchIsClickedWhereItShowsTheTreeAt150Percent)
{
    for (const auto& [broker, credit] : {std::pair{Broker::Huatai, false}, std::pair{Broker::Zhongxin, true}}) {
        ClientSetup setup = editionClient(broker, credit);
        setup.dpiAware = true;
        Client client(setup);
        ASSERT_EQ(dpiOf(client.mainWindow()), 144u) << "the suite runs at 150%";
        ZelvoLibrary zelvo;
        const LoginAnswer answer = zelvo.login();
        EXPECT_TRUE(answer.attached) << answer.message;
        const std::vector<POINT> clicks = client.log().switchClicks;
        ASSERT_FALSE(clicks.empty());
        EXPECT_EQ(clicks.size(), 1u) << "the first click shows the tree, at (" << clicks[0].x << ", " << clicks[0].y
                                     << ")";
    }
}
