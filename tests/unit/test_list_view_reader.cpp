// ListViewReader against real report-view list controls. The lists belong to
// a user-interface thread that the test starts, and the reader runs on the
// test's own thread, so every message crosses threads as it does in the
// client. GBK texts assume the process runs under code page 936
// (LC_ALL=zh_CN.UTF-8 under Wine), as the client does.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "client/bounds.h"
#include "platform/list_view_reader.h"
#include "text/table_text.h"

namespace zelvo {
namespace {

using Texts = std::vector<std::string>;

constexpr UINT runOnUiThread = WM_APP + 1;
constexpr char hostClass[] = "ZelvoListTestHost";

LRESULT CALLBACK hostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case runOnUiThread:
        (*reinterpret_cast<const std::function<void()>*>(lParam))();
        return 0;
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

void registerHostClass()
{
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = hostProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = hostClass;
    RegisterClassA(&windowClass);  // fails harmlessly when already registered
}

// A thread that owns a visible top-level window and runs its message loop
// until the object is destroyed; the windows of a test are made on it.
class UiThread {
public:
    UiThread()
    {
        std::promise<HWND> ready;
        std::future<HWND> host = ready.get_future();
        thread_ = std::thread([&ready] { runLoop(ready); });
        host_ = host.get();
    }
    ~UiThread()
    {
        PostMessageA(host_, WM_CLOSE, 0, 0);
        thread_.join();
    }
    UiThread(const UiThread&) = delete;
    UiThread& operator=(const UiThread&) = delete;

    [[nodiscard]] HWND host() const { return host_; }

    // Runs `work` on the UI thread and returns when it is done.
    void run(const std::function<void()>& work) const
    {
        SendMessageA(host_, runOnUiThread, 0, reinterpret_cast<LPARAM>(&work));
    }

private:
    static void runLoop(std::promise<HWND>& ready)
    {
        registerHostClass();
        HWND host = CreateWindowExA(0, hostClass, "host", WS_OVERLAPPEDWINDOW, 0, 0, 700, 500, nullptr, nullptr,
                                    GetModuleHandleA(nullptr), nullptr);
        ShowWindow(host, SW_SHOWNA);
        ready.set_value(host);
        MSG message;
        while (GetMessageA(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }

    std::thread thread_;
    HWND host_ = nullptr;
};

// Runs on the UI thread.
void addColumn(HWND list, int index, const std::string& caption)
{
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.cx = 120;
    column.pszText = const_cast<char*>(caption.c_str());
    SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
}

// Runs on the UI thread.
void addRow(HWND list, int row, const Texts& cells)
{
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.pszText = const_cast<char*>(cells.empty() ? "" : cells[0].c_str());
    SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    for (size_t column = 1; column < cells.size(); ++column) {
        LVITEMA cell = {};
        cell.iSubItem = static_cast<int>(column);
        cell.pszText = const_cast<char*>(cells[column].c_str());
        SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&cell));
    }
}

std::string joined(const Texts& cells, char separator)
{
    std::string text;
    for (size_t index = 0; index < cells.size(); ++index) {
        text += (index > 0 ? std::string(1, separator) : std::string()) + cells[index];
    }
    return text;
}

// GBK text of `length` bytes: double-byte characters, after an "a" when the
// length is odd, so that odd and even lengths put the characters across
// different byte positions of every power-of-two buffer size.
std::string gbkText(size_t length)
{
    std::string text = length % 2 == 1 ? "a" : "";
    while (text.size() < length) {
        text += "中";
    }
    return text;
}

class ListViewReaderTest : public ::testing::Test {
protected:
    // A report-view list with these captions and rows, owned by the UI thread.
    HWND makeList(const Texts& captions, const std::vector<Texts>& rows)
    {
        HWND list = nullptr;
        ui_.run([&] {
            list = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_REPORT, 0, 0, 600, 300,
                                   ui_.host(), nullptr, GetModuleHandleA(nullptr), nullptr);
            // Without this a visible list repaints after every insertion,
            // which makes thousands of rows take a minute under Wine.
            SendMessageA(list, WM_SETREDRAW, FALSE, 0);
            for (size_t column = 0; column < captions.size(); ++column) {
                addColumn(list, static_cast<int>(column), captions[column]);
            }
            for (size_t row = 0; row < rows.size(); ++row) {
                addRow(list, static_cast<int>(row), rows[row]);
            }
            SendMessageA(list, WM_SETREDRAW, TRUE, 0);
        });
        return list;
    }

    UiThread ui_;
    PendingBuffers pending_;
    MessageChannel channel_{pending_, bounds::clientAnswerMs};
};

TEST_F(ListViewReaderTest, ColumnsWithoutRowsGiveTheHeaderLineAlone)
{
    const ListViewReader reader(channel_, makeList({"证券代码", "证券名称", "数量"}, {}));
    EXPECT_EQ(reader.columnCount(), 3);
    EXPECT_EQ(reader.itemCount(), 0);
    EXPECT_EQ(reader.tableText(), "证券代码\t证券名称\t数量");
}

TEST_F(ListViewReaderTest, NoColumnsGiveTheEmptyTextWhateverTheRows)
{
    const ListViewReader reader(channel_, makeList({}, {{"a"}, {"b"}, {"c"}, {"d"}, {"e"}}));
    EXPECT_EQ(reader.itemCount(), 5);
    EXPECT_EQ(reader.columnCount(), 0);
    EXPECT_EQ(reader.tableText(), "");
    EXPECT_TRUE(reader.columnCaptions().empty());

    // A window without a header control has no columns either.
    HWND plain = nullptr;
    ui_.run([&] {
        plain = CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 10, 10, ui_.host(), nullptr, nullptr, nullptr);
    });
    EXPECT_EQ(ListViewReader(channel_, plain).columnCount(), 0);
    EXPECT_EQ(ListViewReader(channel_, plain).tableText(), "");
}

TEST_F(ListViewReaderTest, TableTextIsByteExactWithGbkAndEmptyCells)
{
    const ListViewReader reader(channel_, makeList({"证券代码", "", "备注"}, {
                                                                  {"600000", "浦发银行", ""},
                                                                  {"", "", "买入"},
                                                                  {"000001", "平安银行", ""},
                                                              }));
    EXPECT_EQ(reader.tableText(),
              "证券代码\t\t备注\n600000\t浦发银行\t\n\t\t买入\n000001\t平安银行\t");
    EXPECT_EQ(reader.cellText(3, 0), "");
    EXPECT_EQ(reader.cellText(0, 7), "");
    EXPECT_EQ(reader.cellText(-1, 0), "");
}

TEST_F(ListViewReaderTest, CellsOfAnyLengthComeBackWhole)
{
    // Lengths around the first buffer size, odd and even, and a long cell.
    std::vector<Texts> rows;
    for (size_t length = 250; length <= 262; ++length) {
        rows.push_back({std::string(length, 'x'), gbkText(length)});
    }
    rows.push_back({std::string(5000, 'y'), gbkText(6001)});
    rows.push_back({std::string(5001, 'z'), gbkText(6000)});
    const ListViewReader reader(channel_, makeList({"ascii", "gbk"}, rows));
    for (size_t row = 0; row < rows.size(); ++row) {
        for (size_t column = 0; column < rows[row].size(); ++column) {
            EXPECT_EQ(reader.cellText(static_cast<int>(row), static_cast<int>(column)), rows[row][column])
                << "row " << row << " column " << column;
        }
    }
}

TEST_F(ListViewReaderTest, CaptionsAreCutAt255BytesOnACharacterBoundary)
{
    const std::string ascii(300, 'h');
    const std::string odd = gbkText(401);   // 255 bytes are "a" and 127 characters
    const std::string even = gbkText(400);  // 255 bytes would end inside a character
    const ListViewReader reader(channel_, makeList({ascii, odd, even, "短"}, {{"1", "2", "3", "4"}}));
    EXPECT_EQ(reader.columnText(0), ascii.substr(0, 255));
    EXPECT_EQ(reader.columnText(1), odd.substr(0, 255));
    // Byte 255 would be the first half of a character, so 254 bytes remain.
    EXPECT_EQ(reader.columnText(2), even.substr(0, 254));
    EXPECT_EQ(reader.tableText(),
              ascii.substr(0, 255) + "\t" + odd.substr(0, 255) + "\t" + even.substr(0, 254) + "\t短\n1\t2\t3\t4");
}

TEST_F(ListViewReaderTest, ThousandsOfRowsComeInIndexOrder)
{
    std::vector<Texts> rows;
    std::string expected = "序号\t名称";
    for (int row = 0; row < 3000; ++row) {
        rows.push_back({std::to_string(row), "名称" + std::to_string(row * 7)});
        expected += "\n" + joined(rows.back(), '\t');
    }
    const ListViewReader reader(channel_, makeList({"序号", "名称"}, rows));
    EXPECT_EQ(reader.itemCount(), 3000);
    EXPECT_EQ(reader.tableText(), expected);
}

TEST_F(ListViewReaderTest, FindColumnAndFindRowTakeTheFirstWholeMatch)
{
    const ListViewReader reader(channel_, makeList({"合同编号", "名称", "合同编号", " 名称"}, {
                                                                                   {"a", "合同 88"},
                                                                                   {"b", " 88"},
                                                                                   {"c", "88"},
                                                                                   {"d", "88"},
                                                                                   {"e", "88 "},
                                                                               }));
    const std::vector<std::string> captions = reader.columnCaptions();
    EXPECT_EQ(zelvo::columnIndex(captions, "合同编号"), 0);
    EXPECT_EQ(zelvo::columnIndex(captions, "名称"), 1);
    EXPECT_EQ(zelvo::columnIndex(captions, " 名称"), 3);
    EXPECT_EQ(zelvo::columnIndex(captions, "合同"), -1);
    EXPECT_EQ(zelvo::columnIndex(captions, "名称 "), -1);

    EXPECT_EQ(reader.findRow(1, "88"), 2);
    EXPECT_EQ(reader.findRow(1, " 88"), 1);
    EXPECT_EQ(reader.findRow(1, "8"), -1);
    EXPECT_EQ(reader.findRow(1, "合同"), -1);
    EXPECT_EQ(reader.findRow(0, "e"), 4);
    EXPECT_EQ(reader.findRow(0, "E"), -1);
}

// The table read on the list's own thread: over several chunks, with a cell
// too long for a chunk of its own, it gives the same text as reading cell by
// cell; the list has its own procedure back once the reader is gone, also
// when the list is destroyed first.
TEST_F(ListViewReaderTest, ReadOnTheListsThreadGivesTheSameTextAndLeavesTheListAsItWas)
{
    std::vector<Texts> rows;
    for (int row = 0; row < 1500; ++row) {
        rows.push_back({std::to_string(row), gbkText(1001)});
    }
    rows[700][1] = std::string(InThreadList::chunkBytes + 5000, 'L');
    const HWND list = makeList({"序号", "内容"}, rows);
    const LONG_PTR ownProcedure = GetWindowLongPtrA(list, GWLP_WNDPROC);
    std::string oneByOne;
    {
        const ListViewReader reader(channel_, list);
        oneByOne = zelvo::formatTable({reader.columnText(0), reader.columnText(1)}, reader.itemCount(),
                                      [&](int row, int column) { return reader.cellText(row, column); });
        EXPECT_EQ(reader.tableText(), oneByOne);
        EXPECT_EQ(reader.findRow(0, "1499"), 1499);
        EXPECT_EQ(reader.cellTexts({{3, 0}, {700, 1}, {9999, 0}}), (Texts{"3", rows[700][1], ""}));
        EXPECT_NE(GetWindowLongPtrA(list, GWLP_WNDPROC), ownProcedure) << "read on the list's thread";
    }
    EXPECT_EQ(GetWindowLongPtrA(list, GWLP_WNDPROC), ownProcedure);
    EXPECT_NE(oneByOne.find("\t" + rows[700][1] + "\n701\t"), std::string::npos) << "the long cell is whole";

    const HWND doomed = makeList({"a"}, {{"1"}});
    {
        const ListViewReader reader(channel_, doomed);
        EXPECT_EQ(reader.tableText(), "a\n1");
        ui_.run([&] { DestroyWindow(doomed); });
    }
    EXPECT_FALSE(IsWindow(doomed));
}

// A procedure of the client's, put in front of the list while a reader's
// stands there (a skin, another add-in): it passes every message on to the
// procedure it found, and counts them.
WNDPROC behindOther = nullptr;
LRESULT CALLBACK otherProcedure(HWND list, UINT message, WPARAM wParam, LPARAM lParam)
{
    return CallWindowProcA(behindOther, list, message, wParam, lParam);
}

// The same, reading slowly: an owner-data list asking its parent for every
// cell, or a procedure doing work on each.
LRESULT CALLBACK slowProcedure(HWND list, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == LVM_GETITEMTEXTA) {
        Sleep(1);
    }
    return CallWindowProcA(behindOther, list, message, wParam, lParam);
}

// Something put in front of the reader's procedure stays in the chain when
// the reader goes, and so does the reader's, behind it. Many readers later,
// the list still works and reads whole, with no procedure calling another
// in a circle; once the other procedure has stepped out again, the next
// reader takes its own out too and the list has its own procedure back.
TEST_F(ListViewReaderTest, AProcedurePutInFrontDuringAReadStaysAndTheListKeepsWorking)
{
    std::vector<Texts> rows;
    for (int row = 0; row < 50; ++row) {
        rows.push_back({std::to_string(row), "名称"});
    }
    const HWND list = makeList({"序号", "名称"}, rows);
    const LONG_PTR ownProcedure = GetWindowLongPtrA(list, GWLP_WNDPROC);
    const std::string whole = ListViewReader(channel_, list).tableText();
    {
        const ListViewReader reader(channel_, list);
        EXPECT_EQ(reader.tableText(), whole);
        ui_.run([&] {
            behindOther = reinterpret_cast<WNDPROC>(
                SetWindowLongPtrA(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&otherProcedure)));
        });
        EXPECT_EQ(reader.findRow(0, "49"), 49);
    }
    EXPECT_EQ(GetWindowLongPtrA(list, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&otherProcedure))
        << "the other procedure is not cut out";
    for (int reader = 0; reader < 20; ++reader) {
        EXPECT_EQ(ListViewReader(channel_, list).tableText(), whole) << "reader " << reader;
    }
    EXPECT_EQ(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), 50) << "the list answers through the whole chain";

    ui_.run([&] { SetWindowLongPtrA(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(behindOther)); });
    EXPECT_EQ(ListViewReader(channel_, list).tableText(), whole);
    EXPECT_EQ(GetWindowLongPtrA(list, GWLP_WNDPROC), ownProcedure);
    EXPECT_EQ(ListViewReader(channel_, list).tableText(), whole) << "and a reader after that";
    EXPECT_EQ(GetWindowLongPtrA(list, GWLP_WNDPROC), ownProcedure);
}

// A list slow to give its cells is read in exchanges of a bounded time, so
// a read that takes longer in all than the client is given to answer one
// exchange still comes back whole.
TEST_F(ListViewReaderTest, AListSlowToGiveItsCellsIsReadWholeInShortExchanges)
{
    std::vector<Texts> rows;
    for (int row = 0; row < 800; ++row) {
        rows.push_back({std::to_string(row), "名称"});
    }
    const HWND list = makeList({"序号", "名称"}, rows);
    const std::string whole = ListViewReader(channel_, list).tableText();
    ui_.run([&] {
        behindOther = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&slowProcedure)));
    });
    PendingBuffers pending;
    MessageChannel shortBound(pending, 1000);
    const ListViewReader reader(shortBound, list);
    EXPECT_EQ(reader.tableText(), whole);
    EXPECT_EQ(reader.findRow(0, "799"), 799);
    EXPECT_FALSE(shortBound.lost());
}

TEST_F(ListViewReaderTest, SetCellTextWritesGbkThatReadsBack)
{
    const ListViewReader reader(channel_, makeList({"状态", "说明"}, {{"1", "旧"}}));
    reader.setCellText(0, 1, "已报\x81\x7C");
    EXPECT_EQ(reader.cellText(0, 1), "已报\x81\x7C");
    reader.setCellText(0, 0, "");
    EXPECT_EQ(reader.tableText(), "状态\t说明\n\t已报\x81\x7C");
}

TEST_F(ListViewReaderTest, SelectRowScrollsToItAndSelectsOnlyIt)
{
    std::vector<Texts> rows;
    for (int row = 0; row < 500; ++row) {
        rows.push_back({std::to_string(row)});
    }
    HWND list = makeList({"行"}, rows);
    ListViewReader(channel_, list).selectRow(400);

    EXPECT_EQ(SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0), 1);
    EXPECT_EQ(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 400);
    EXPECT_EQ(SendMessageA(list, LVM_GETITEMSTATE, 400, LVIS_FOCUSED), 0);
    const auto top = SendMessageA(list, LVM_GETTOPINDEX, 0, 0);
    const auto perPage = SendMessageA(list, LVM_GETCOUNTPERPAGE, 0, 0);
    EXPECT_LE(top, 400);
    EXPECT_LT(400, top + perPage);
}

}  // namespace
}  // namespace zelvo
