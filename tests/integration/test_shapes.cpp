// The library against clients built the way real clients often are: common
// controls version 6, Unicode windows, controls subclassed by a class
// framework, owner-data lists, pop-ups of a second thread, a high-DPI
// screen and a UI thread busy with work of its own. The whole integration
// suite also runs against the `realistic` shape (tests/CMakeLists.txt);
// these are the cases that need a shape's own look.
#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <atomic>
#include <map>
#include <string>
#include <vector>

#include "editions.h"
#include "shape.h"
#include "zelvo_library.h"

using substitute::Broker;
using substitute::Client;
using substitute::ClientSetup;
using substitute::editionClient;
using substitute::Incident;
using substitute::Moment;
using substitute::Row;

namespace {

ClientSetup realistic(ClientSetup setup = editionClient(Broker::Huatai, false))
{
    substitute::applyShape(setup, substitute::Shape::Realistic);
    return setup;
}

void attach(ZelvoLibrary& zelvo)
{
    const LoginAnswer answer = zelvo.login();
    ASSERT_TRUE(answer.attached) << answer.message;
}

HWND pageList(const Client& client, const std::string& caption)
{
    return GetWindow(client.page(caption), GW_CHILD);
}

// What the library must leave as it found it in every window of the client:
// whether the window is a Unicode window, and its procedure.
struct WindowState {
    bool unicode;
    LONG_PTR procedure;
    bool operator==(const WindowState& other) const
    {
        return unicode == other.unicode && procedure == other.procedure;
    }
};
using WindowStates = std::map<HWND, WindowState>;

BOOL CALLBACK addState(HWND window, LPARAM states)
{
    (*reinterpret_cast<WindowStates*>(states))[window] = {IsWindowUnicode(window) != FALSE,
                                                          GetWindowLongPtrW(window, GWLP_WNDPROC)};
    return TRUE;
}

WindowStates statesOf(const Client& client)
{
    WindowStates states;
    addState(client.mainWindow(), reinterpret_cast<LPARAM>(&states));
    EnumChildWindows(client.mainWindow(), addState, reinterpret_cast<LPARAM>(&states));
    return states;
}

std::vector<Row> numberedOrders(int count)
{
    std::vector<Row> rows;
    for (int row = 0; row < count; ++row) {
        rows.push_back({"09:31:05", "600000", "浦发银行", "买入", "10.500", "100", "0", std::to_string(5000 + row),
                        "已报"});
    }
    return rows;
}

}  // namespace

// The realistic client is what it says: Unicode windows, controls with a
// procedure of the client's in front, owner-data lists of today's orders
// and a notice of its second thread open from the start.
TEST(Shapes, TheRealisticClientIsBuiltAsItSays)
{
    Client client(realistic());
    ZelvoLibrary zelvo;
    HWND notice = nullptr;
    for (int tries = 0; tries < 100 && notice == nullptr; ++tries, Sleep(10)) {
        notice = FindWindowA(nullptr, "提示");
    }
    ASSERT_NE(notice, nullptr);
    EXPECT_TRUE(IsWindowUnicode(notice));
    EXPECT_NE(GetWindowThreadProcessId(notice, nullptr), GetWindowThreadProcessId(client.mainWindow(), nullptr));
    attach(zelvo);
    EXPECT_TRUE(IsWindowUnicode(client.mainWindow()));
    const HWND orders = pageList(client, "当日委托");
    ASSERT_NE(orders, nullptr);
    EXPECT_TRUE(IsWindowUnicode(orders));
    EXPECT_NE(GetWindowLongPtrA(orders, GWL_STYLE) & LVS_OWNERDATA, 0);
    EXPECT_NE(GetWindowLongPtrW(client.tree(), GWLP_WNDPROC), GetClassLongPtrW(client.tree(), GCLP_WNDPROC))
        << "the tree has a procedure of the client's in front of its own";
    EXPECT_FALSE(IsWindow(notice)) << "the second thread's notice was closed by the attach";
    EXPECT_EQ(zelvo.query(4).message, "查询完毕");
}

// This suite's program carries an application manifest for common controls
// version 6, as almost every current Windows program does: the client's
// buttons come from the version 6 library.
TEST(Shapes, TheProgramUsesCommonControls6)
{
    Client client(realistic());
    ZelvoLibrary zelvo;
    attach(zelvo);
    const HWND button = FindWindowExA(client.page("买入"), nullptr, "Button", nullptr);
    ASSERT_NE(button, nullptr);
    HMODULE module = nullptr;
    ASSERT_TRUE(GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                   reinterpret_cast<LPCWSTR>(GetClassLongPtrW(button, GCLP_WNDPROC)), &module));
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(module, path, MAX_PATH);
    std::wstring lower(path);
    std::transform(lower.begin(), lower.end(), lower.begin(), ::towlower);
    EXPECT_NE(lower.find(L"common-controls_6595b64144ccf1df_6."), std::wstring::npos);
}

// Every operation leaves each window of the client as it found it: a Unicode
// window stays Unicode, and its procedure is its own again.
TEST(Shapes, TheLibraryLeavesTheClientsWindowsAsItFoundThem)
{
    for (const ClientSetup& setup : {realistic(), editionClient(Broker::Huatai, false)}) {
        Client client(setup);
        ZelvoLibrary zelvo;
        attach(zelvo);
        const WindowStates before = statesOf(client);
        for (int kind = 0; kind < 12; ++kind) {
            static_cast<void>(zelvo.query(kind));
        }
        EXPECT_GT(zelvo.order(0, "600000", 10.5, 100).contract, 0);
        EXPECT_TRUE(zelvo.cancel(901).accepted);
        const WindowStates after = statesOf(client);
        for (const auto& [window, state] : before) {
            const auto now = after.find(window);
            ASSERT_NE(now, after.end());
            EXPECT_TRUE(now->second == state) << "window " << window << " unicode " << state.unicode << " -> "
                                              << now->second.unicode << (setup.unicode ? " (realistic)" : "");
        }
    }
}

// The client puts a procedure of its own in front of a list while the
// library reads it: the procedure stays, and the list keeps working.
TEST(Shapes, AProcedurePutInFrontOfAListWhileItIsReadStays)
{
    for (const ClientSetup& setup : {realistic(), editionClient(Broker::Huatai, false)}) {
        Client client(setup);
        client.queries().setRows("当日委托", numberedOrders(40));
        ZelvoLibrary zelvo;
        attach(zelvo);
        const HWND list = pageList(client, "当日委托");
        static WNDPROC behind = nullptr;
        static std::atomic<int> passed{0};
        struct Late {
            static LRESULT CALLBACK procedureA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
            {
                ++passed;
                return CallWindowProcA(behind, window, message, wParam, lParam);
            }
            static LRESULT CALLBACK procedureW(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
            {
                ++passed;
                return CallWindowProcW(behind, window, message, wParam, lParam);
            }
        };
        const LONG_PTR late = setup.unicode ? reinterpret_cast<LONG_PTR>(&Late::procedureW)
                                            : reinterpret_cast<LONG_PTR>(&Late::procedureA);
        client.incidents().plan(Incident{Moment::CellRead, {}, 20, 0}, [&] {
            behind = reinterpret_cast<WNDPROC>(setup.unicode ? SetWindowLongPtrW(list, GWLP_WNDPROC, late)
                                                             : SetWindowLongPtrA(list, GWLP_WNDPROC, late));
        });
        const QueryAnswer first = zelvo.query(4);
        EXPECT_EQ(std::count(first.text.begin(), first.text.end(), '\n'), 40);
        ASSERT_NE(behind, nullptr) << "the client's procedure went in during the read";
        const auto procedureOf = [&](HWND window) {
            return setup.unicode ? GetWindowLongPtrW(window, GWLP_WNDPROC) : GetWindowLongPtrA(window, GWLP_WNDPROC);
        };
        EXPECT_EQ(procedureOf(list), late) << "and stays in front";
        EXPECT_EQ(IsWindowUnicode(list) != FALSE, setup.unicode);

        passed = 0;
        const QueryAnswer second = zelvo.query(4);
        EXPECT_EQ(second.text, first.text);
        EXPECT_GT(passed.load(), 0) << "messages pass through the client's procedure";
        EXPECT_TRUE(zelvo.cancel(5007).accepted) << "the cancel finds its row through the chain";
        EXPECT_EQ(procedureOf(list), late);
    }
}

// While the library reads a Unicode client's list, the list stays a Unicode
// window: a text outside the code page that the client gives it meanwhile
// comes back whole, not narrowed to GBK.
TEST(Shapes, AUnicodeListStaysUnicodeWhileItIsRead)
{
    Client client(realistic());
    ZelvoLibrary zelvo;
    attach(zelvo);
    const HWND list = pageList(client, "资金股份");
    const std::wstring outsideGbk = L"\xD55C\xAE00";
    bool unicode = false;
    std::wstring readBack;
    client.incidents().plan(Incident{Moment::CellRead, {}, 1, 0}, [&] {
        unicode = IsWindowUnicode(list) != FALSE;
        SetWindowTextW(list, outsideGbk.c_str());
        wchar_t text[16] = {};
        GetWindowTextW(list, text, 16);
        readBack = text;
    });
    EXPECT_EQ(zelvo.query(3).message, "查询完毕");
    EXPECT_TRUE(unicode) << "a Unicode window during the read";
    EXPECT_EQ(readBack, outsideGbk);
}

// An owner-data list whose page takes 2 ms to give each row: 5,000 rows take
// longer in all than the client is given to answer one exchange, and still
// come back whole.
TEST(Shapes, ASlowOwnerDataListComesBackWhole)
{
    ClientSetup setup = realistic();
    setup.ownerDataRowMs = 2;
    Client client(setup);
    client.queries().setRows("当日委托", numberedOrders(5000));
    ZelvoLibrary zelvo;
    attach(zelvo);
    const QueryAnswer answer = zelvo.query(4);
    EXPECT_EQ(answer.message, "查询完毕");
    EXPECT_EQ(std::count(answer.text.begin(), answer.text.end(), '\n'), 5000);
    EXPECT_NE(answer.text.find("\t9999\t已报"), std::string::npos);
}

// A UI thread that works 50 ms out of every 100 ms without answering: every
// operation still succeeds within its bounds.
TEST(Shapes, ABusyClientThreadStillAnswersEveryOperation)
{
    ClientSetup setup = editionClient(Broker::Huatai, false);
    setup.busyWorkMs = 50;
    setup.busyPeriodMs = 100;
    Client client(setup);
    ZelvoLibrary zelvo;
    attach(zelvo);
    const QueryAnswer positions = zelvo.query(3);
    EXPECT_EQ(positions.message, "查询完毕");
    EXPECT_EQ(positions.text.substr(0, 8), "证券代码");
    const OrderAnswer order = zelvo.order(0, "600000", 10.5, 100);
    EXPECT_GT(order.contract, 0) << order.message;
    EXPECT_TRUE(zelvo.cancel(901).accepted);
    EXPECT_EQ(client.orders().tickets().size(), 1u);
}
