// Reads and selects in a report-view list control of the client. The list
// lives in our own process, so the ANSI list-view messages are sent with
// pointers into our memory; all text is GBK exactly as the control returns
// it. Every message goes through the channel, answered by the list's own
// user-interface thread; once the channel is lost, reads give empty text and
// zero counts. The whole-table reads (the captions, the table text, a row's
// search, a few cells) are made on the list's own thread where that can be
// set up (InThreadList), else cell by cell, with the same texts.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/in_thread_list.h"
#include "platform/message_channel.h"

namespace zelvo {

class ListViewReader {
public:
    // The handle belongs to the client; it is neither validated nor destroyed.
    ListViewReader(MessageChannel& channel, HWND list) noexcept : channel_(channel), list_(list) {}
    ~ListViewReader();
    ListViewReader(ListViewReader&&) noexcept = default;

    [[nodiscard]] HWND window() const noexcept { return list_; }

    [[nodiscard]] int itemCount() const;

    // Columns as the header control counts them; 0 without a header.
    [[nodiscard]] int columnCount() const;

    // The caption of a column, at most 255 bytes; empty when unreadable.
    [[nodiscard]] std::string columnText(int column) const;

    // The whole text of a cell; empty outside the list.
    [[nodiscard]] std::string cellText(int row, int column) const;

    void setCellText(int row, int column, const std::string& text) const;

    // The whole list as table text: the captions, then every row in order.
    [[nodiscard]] std::string tableText() const;

    // Every column's caption, in column order.
    [[nodiscard]] std::vector<std::string> columnCaptions() const;

    // Index of the first row whose cell in `column` equals `value` byte for
    // byte, else -1.
    [[nodiscard]] int findRow(int column, const std::string& value) const;

    // The whole texts of the given (row, column) cells, in order.
    [[nodiscard]] std::vector<std::string> cellTexts(const std::vector<std::pair<int, int>>& cells) const;

    // Scrolls the row into view and adds it to the selection; the focus and
    // the selection of other rows are left alone.
    void selectRow(int row) const;

private:
    // The reader on the list's own thread, set up at its first use; null
    // when it cannot be.
    [[nodiscard]] InThreadList* inThread() const;
    [[nodiscard]] std::vector<std::string> captionsOneByOne() const;
    void appendRowsInThread(InThreadList& fast, std::string& table, int columnCount) const;

    MessageChannel& channel_;
    HWND list_;
    mutable std::unique_ptr<InThreadList> inThread_;
    mutable bool inThreadTried_ = false;
};

// Index of the first of `captions` equal to `caption` byte for byte, else
// -1: looks up several columns with one read of the header.
[[nodiscard]] int columnIndex(const std::vector<std::string>& captions, const std::string& caption);

}  // namespace zelvo
