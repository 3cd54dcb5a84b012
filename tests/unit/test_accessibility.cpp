// Pressing the main toolbar's buttons through accessibility, against the
// substitute client's toolbar on a user-interface thread of its own. The
// presses come from the test's threads, so every accessible call is
// marshaled to the toolbar's thread as it is in the client. GBK texts assume
// code page 936 (LC_ALL=zh_CN.UTF-8 under Wine).
#include <windows.h>
#include <objbase.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "client/toolbar.h"
#include "platform/accessible_search.h"
#include "platform/com.h"
#include "library_view.h"
#include "toolbar.h"
#include "ui_thread.h"

namespace zelvo {
namespace {

using substitute::ToolbarButton;
using substitute::ToolbarLog;
using substitute::ToolbarOptions;
using substitute::toolbarButton;
using substitute::toolbarGroup;
using Names = std::vector<std::string>;

constexpr char frameClass[] = "ZelvoToolbarTestFrame";

// A disabled "刷新" before the enabled one, groups nested two levels deep,
// and a disabled group whose enabled button must stay out of reach.
std::vector<ToolbarButton> clientButtons()
{
    return {
        toolbarButton("买入"),
        toolbarButton("刷新", false),
        toolbarGroup("交易", {toolbarButton("卖出"), toolbarButton("融券卖出"),
                              toolbarGroup("工具", {toolbarButton("撤单")})}),
        toolbarButton("刷新"),
        toolbarGroup("锁定", {toolbarButton("解锁")}, false),
    };
}

void registerFrameClass()
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = frameClass;
    RegisterClassA(&windowClass);
}

HWND createPanel(HWND parent)
{
    return CreateWindowExA(0, frameClass, "", WS_CHILD | WS_VISIBLE, 0, 0, 600, 60, parent, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

// The client's windows on their own UI thread: a hidden main frame (the
// library hides it) with two panels. The first panel holds a decoy toolbar of
// the same class under another title, the second the main toolbar.
class ToolbarClient {
public:
    ToolbarClient(std::vector<ToolbarButton> buttons, ToolbarOptions options)
    {
        ui_.run([&] { build(buttons, options); });
    }
    ~ToolbarClient()
    {
        ui_.run([this] { DestroyWindow(main_); });
    }

    HWND mainWindow() const { return main_; }
    HWND toolbar() const { return toolbar_; }
    Names presses() const { return log_->presses(); }
    Names decoyPresses() const { return decoyLog_->presses(); }
    long liveObjects() const { return log_->liveObjects(); }

private:
    void build(const std::vector<ToolbarButton>& buttons, ToolbarOptions options)
    {
        registerFrameClass();
        main_ = CreateWindowExA(0, frameClass, "客户端", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
        HWND decoy = substitute::createMainToolbar(createPanel(main_), buttons, decoyLog_, options);
        SetWindowTextA(decoy, "SideBar");
        toolbar_ = substitute::createMainToolbar(createPanel(main_), buttons, log_, options);
    }

    substitute::UiThread ui_;
    std::shared_ptr<ToolbarLog> log_ = std::make_shared<ToolbarLog>();
    std::shared_ptr<ToolbarLog> decoyLog_ = std::make_shared<ToolbarLog>();
    HWND main_ = nullptr;
    HWND toolbar_ = nullptr;
};

// Runs `work` on a thread of its own, which starts without a COM apartment.
void onNewThread(const std::function<void()>& work)
{
    std::thread(work).join();
}

HRESULT apartmentType(APTTYPE& type)
{
    APTTYPEQUALIFIER qualifier;
    return CoGetApartmentType(&type, &qualifier);
}

// COM releases the client's objects as the caller's proxies go, which may
// finish a little after the press; waits up to two seconds for `expected`.
long waitForLiveObjects(const ToolbarClient& client, long expected)
{
    for (int poll = 0; poll < 200 && client.liveObjects() != expected; ++poll) {
        Sleep(10);
    }
    return client.liveObjects();
}

// The parameter: whether the toolbar lists its children through an
// enumerator, or only by child id.
class ToolbarPress : public testing::TestWithParam<bool> {
protected:
    ToolbarPress() : client_(clientButtons(), options()) {}

    void press(const std::string& name)
    {
        LibraryView library(client_.mainWindow());
        pressToolbarButton(library.client, name);
    }

    ToolbarOptions options() const
    {
        ToolbarOptions chosen;
        chosen.enumerator = GetParam();
        return chosen;
    }

    ToolbarClient client_;
};

TEST_P(ToolbarPress, PassesOverADisabledButtonToTheEnabledOneOfTheSameName)
{
    press("刷新");

    EXPECT_EQ(client_.presses(), Names{"刷新"});
    EXPECT_TRUE(client_.decoyPresses().empty());
}

TEST_P(ToolbarPress, FindsButtonsAndGroupsInNestedGroups)
{
    press("撤单");
    press("融券卖出");
    press("交易");

    EXPECT_EQ(client_.presses(), (Names{"撤单", "融券卖出", "交易"}));
}

TEST_P(ToolbarPress, PressesNothingForDisabledGroupsMissingNamesOrAMissingToolbar)
{
    press("解锁");
    press("不存在");
    press("");
    LibraryView noWindow(nullptr);
    pressToolbarButton(noWindow.client, "买入");

    EXPECT_TRUE(client_.presses().empty());
    EXPECT_TRUE(client_.decoyPresses().empty());
}

TEST_P(ToolbarPress, ReleasesEveryObjectOfThePresses)
{
    const long baseline = client_.liveObjects();
    long live = -1;
    onNewThread([&] {
        // The apartment is held across all presses: uninitialising it would
        // release leaked proxies and hide the leak.
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        for (int round = 0; round < 10; ++round) {
            press("撤单");
            press("刷新");
            press("交易");
            press("不存在");
        }
        live = waitForLiveObjects(client_, baseline);
        CoUninitialize();
    });

    EXPECT_EQ(live, baseline);
    EXPECT_EQ(client_.presses().size(), 30u);
}

INSTANTIATE_TEST_SUITE_P(Listings, ToolbarPress, testing::Values(true, false),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? "WithEnumerator" : "ByChildId";
                         });

// The client's thread stops answering in the middle of a press: the press
// is given up within the bound, and once the client answers again it takes
// no further step: nothing is pressed, every object is released.
TEST(ToolbarStall, GivesUpWithinTheBoundAndPressesNothingLater)
{
    constexpr DWORD boundMs = 500;
    ToolbarOptions stalling;
    stalling.stallInFirstChildCountMs = 2000;
    ToolbarClient client(clientButtons(), stalling);
    const long baseline = client.liveObjects();
    LibraryView library(client.mainWindow(), boundMs);

    const ULONGLONG start = GetTickCount64();
    pressToolbarButton(library.client, "刷新");
    const ULONGLONG took = GetTickCount64() - start;

    EXPECT_TRUE(library.channel.lost());
    EXPECT_GE(took, boundMs);
    EXPECT_LT(took, boundMs + 1000);
    Sleep(2500);
    EXPECT_TRUE(client.presses().empty()) << "the press stopped before its next call";
    EXPECT_EQ(waitForLiveObjects(client, baseline), baseline);
}

class ToolbarApartment : public testing::Test {
protected:
    void press(const std::string& name)
    {
        LibraryView library(client_.mainWindow());
        pressToolbarButton(library.client, name);
    }

    ToolbarClient client_{clientButtons(), ToolbarOptions{}};
};

TEST_F(ToolbarApartment, ThreadWithoutApartmentGetsOneForThePressOnly)
{
    HRESULT before = S_OK;
    HRESULT after = S_OK;
    onNewThread([&] {
        APTTYPE type;
        before = apartmentType(type);
        press("刷新");
        after = apartmentType(type);
    });

    EXPECT_EQ(before, CO_E_NOTINITIALIZED);
    EXPECT_EQ(client_.presses(), Names{"刷新"});
    EXPECT_EQ(after, CO_E_NOTINITIALIZED);
}

// After the press the thread is in its own apartment still, and one
// CoUninitialize of its own ends it: the press added no count and took none away.
TEST_F(ToolbarApartment, ThreadWithAnApartmentKeepsIt)
{
    for (const auto mode : {COINIT_MULTITHREADED, COINIT_APARTMENTTHREADED}) {
        const char* const label = mode == COINIT_MULTITHREADED ? "MTA" : "STA";
        HRESULT during = E_FAIL;
        HRESULT after = S_OK;
        APTTYPE type = APTTYPE_CURRENT;
        onNewThread([&] {
            CoInitializeEx(nullptr, mode);
            press("刷新");
            during = apartmentType(type);
            CoUninitialize();
            APTTYPE ignored;
            after = apartmentType(ignored);
        });

        EXPECT_EQ(during, S_OK) << label;
        EXPECT_EQ(type, mode == COINIT_MULTITHREADED ? APTTYPE_MTA : APTTYPE_STA) << label;
        EXPECT_EQ(after, CO_E_NOTINITIALIZED) << label;
    }
    EXPECT_EQ(client_.presses(), (Names{"刷新", "刷新"}));
}

// Texts and the search on the toolbar's own object, asked from the test's
// thread inside an apartment.
class AccessibleTree : public testing::Test {
protected:
    void open(std::vector<ToolbarButton> buttons, ToolbarOptions options = {})
    {
        client_ = std::make_unique<ToolbarClient>(std::move(buttons), options);
        // __uuidof: the x86-64 oleacc import library makes IID_IAccessible a code thunk.
        ASSERT_HRESULT_SUCCEEDED(
            AccessibleObjectFromWindow(client_->toolbar(), OBJID_WINDOW, __uuidof(IAccessible), root_.putVoid()));
    }
    ApartmentScope apartment_;
    std::unique_ptr<ToolbarClient> client_;
    ComPtr<IAccessible> root_;
};

TEST_F(AccessibleTree, FindsByNameSkippingDisabledElements)
{
    open(clientButtons());

    const auto button = findAccessibleChild(root_.get(), "刷新");
    const auto group = findAccessibleChild(root_.get(), "交易");

    ASSERT_TRUE(button.has_value());
    EXPECT_EQ(button->childId, 4);  // the enabled one, a simple element of the toolbar
    ASSERT_TRUE(group.has_value());
    EXPECT_EQ(group->childId, CHILDID_SELF);  // a full object of its own
    EXPECT_FALSE(findAccessibleChild(root_.get(), "解锁").has_value()) << "inside a disabled group";
    EXPECT_FALSE(findAccessibleChild(root_.get(), "不存在").has_value());
}

TEST_F(AccessibleTree, StatesGivenAsTextAreTestedForUnavailable)
{
    ToolbarOptions textStates;
    textStates.statesAsText = true;
    open(clientButtons(), textStates);

    LibraryView library(client_->mainWindow());
    pressToolbarButton(library.client, "刷新");
    pressToolbarButton(library.client, "解锁");

    EXPECT_EQ(client_->presses(), Names{"刷新"});
}

TEST(NarrowAcp, CutsBetweenCharacters)
{
    if (GetACP() != 936) {
        GTEST_SKIP() << "needs code page 936";
    }
    EXPECT_EQ(narrowAcp(L"a中文", 4), "a中");
    EXPECT_EQ(narrowAcp(L"a中文", 5), "a中文");
    EXPECT_EQ(narrowAcp(L"中文", 1), "");
    EXPECT_EQ(narrowAcp(nullptr, 10), "");
    const std::string cut = narrowAcp(std::wstring(200, L'中').c_str(), 255);
    EXPECT_EQ(cut.size(), 254u);
    EXPECT_EQ(cut, narrowAcp(std::wstring(127, L'中').c_str(), 1000));
}

}  // namespace
}  // namespace zelvo
