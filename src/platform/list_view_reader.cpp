#include "platform/list_view_reader.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "text/table_text.h"
#include "text/gbk_text.h"

namespace zelvo {
namespace {

// Captions are read into a fixed buffer, so longer captions are cut.
constexpr int captionBufferSize = 256;

// Cells are read into a buffer that starts at this size and doubles until
// the text fits. The ceiling only guards against a control that never
// reports an end; no real cell comes near it.
constexpr size_t firstCellBufferSize = 256;
constexpr size_t lastCellBufferSize = size_t{1} << 26;

// A text cut by a buffer limit may end in the first half of a double-byte
// character; that half is dropped so no broken character is handed on.
void dropCutCharacter(std::string& text)
{
    if (endsInLeadByte(text)) {
        text.pop_back();
    }
}

// One LVM_GETITEMTEXTA into a zeroed buffer one byte longer than the control
// is told, so there is always a terminator: Wine fills a too small buffer
// without terminating it and returns a wrong length, so only the bytes
// before the first zero are trusted.
[[nodiscard]] std::string readCell(MessageChannel& channel, HWND list, int row, int column, size_t capacity)
{
    MessageBuffer text(capacity + 1);
    MessageBuffer itemBuffer(sizeof(LVITEMA));
    LVITEMA& item = itemBuffer.record<LVITEMA>();
    item.iSubItem = column;
    item.pszText = text.bytes();
    item.cchTextMax = static_cast<int>(capacity);
    if (!channel.send(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), itemBuffer.address(), {&itemBuffer, &text})) {
        return {};
    }
    return text.bytes();
}

// Whether a read of `length` bytes into `capacity` bytes is the whole text.
// A cut text fills the buffer to its last byte or the one before (Wine), or
// stops one byte short so as not to split a double-byte character and then
// terminates (Windows); two spare bytes therefore prove nothing was cut.
[[nodiscard]] bool readWasWhole(size_t length, size_t capacity) noexcept
{
    return length + 3 <= capacity;
}

}  // namespace

int ListViewReader::itemCount() const
{
    const LRESULT count = channel_.send(list_, LVM_GETITEMCOUNT, 0, 0).value_or(0);
    return count > 0 ? static_cast<int>(count) : 0;
}

int ListViewReader::columnCount() const
{
    const auto header = reinterpret_cast<HWND>(channel_.send(list_, LVM_GETHEADER, 0, 0).value_or(0));
    if (header == nullptr) {
        return 0;
    }
    const LRESULT count = channel_.send(header, HDM_GETITEMCOUNT, 0, 0).value_or(0);
    return count > 0 ? static_cast<int>(count) : 0;
}

std::string ListViewReader::columnText(int column) const
{
    MessageBuffer text(captionBufferSize);
    MessageBuffer infoBuffer(sizeof(LVCOLUMNA));
    LVCOLUMNA& info = infoBuffer.record<LVCOLUMNA>();
    info.mask = LVCF_TEXT;
    info.pszText = text.bytes();
    info.cchTextMax = captionBufferSize;
    const WPARAM index = static_cast<WPARAM>(column);
    if (channel_.send(list_, LVM_GETCOLUMNA, index, infoBuffer.address(), {&infoBuffer, &text}).value_or(0) == 0) {
        return {};
    }
    text.bytes()[captionBufferSize - 1] = '\0';
    std::string caption(text.bytes());
    if (caption.size() == captionBufferSize - 1) {
        dropCutCharacter(caption);
    }
    return caption;
}

std::string ListViewReader::cellText(int row, int column) const
{
    for (size_t capacity = firstCellBufferSize;; capacity *= 2) {
        std::string text = readCell(channel_, list_, row, column, capacity);
        if (readWasWhole(text.size(), capacity)) {
            return text;
        }
        if (capacity >= lastCellBufferSize) {
            dropCutCharacter(text);
            return text;
        }
    }
}

void ListViewReader::setCellText(int row, int column, const std::string& text) const
{
    MessageBuffer copy(text.size() + 1);
    text.copy(copy.bytes(), text.size());
    MessageBuffer itemBuffer(sizeof(LVITEMA));
    LVITEMA& item = itemBuffer.record<LVITEMA>();
    item.iSubItem = column;
    item.pszText = copy.bytes();
    static_cast<void>(channel_.send(list_, LVM_SETITEMTEXTA, static_cast<WPARAM>(row), itemBuffer.address(), {&itemBuffer, &copy}));
}

ListViewReader::~ListViewReader() = default;

InThreadList* ListViewReader::inThread() const
{
    if (!inThreadTried_ && list_ != nullptr) {
        inThreadTried_ = true;
        inThread_ = std::make_unique<InThreadList>(channel_, list_);
    }
    return inThread_ != nullptr && inThread_->installed() ? inThread_.get() : nullptr;
}

std::vector<std::string> ListViewReader::captionsOneByOne() const
{
    std::vector<std::string> captions;
    const int columns = columnCount();
    for (int column = 0; column < columns; ++column) {
        captions.push_back(columnText(column));
    }
    return captions;
}

std::vector<std::string> ListViewReader::columnCaptions() const
{
    InThreadList* fast = inThread();
    std::optional<std::vector<std::string>> captions = fast != nullptr ? fast->captions() : std::nullopt;
    if (!captions) {
        return captionsOneByOne();
    }
    // As columnText gives them: a caption that filled its buffer loses a cut character.
    for (std::string& caption : *captions) {
        if (caption.size() == captionBufferSize - 1) {
            dropCutCharacter(caption);
        }
    }
    return *captions;
}

// Chunk after chunk; a cell too long for a chunk is read on its own, and
// whatever the list's thread did not read is read cell by cell.
void ListViewReader::appendRowsInThread(InThreadList& fast, std::string& table, int columnCount) const
{
    const CellReader cell = [this](int row, int column) { return cellText(row, column); };
    int row = 0;
    int column = 0;
    int rowCount = -1;
    for (;;) {
        const std::optional<InThreadList::Chunk> chunk = fast.rows(row, column, columnCount, rowCount);
        if (!chunk) {
            appendRows(table, row, column, rowCount < 0 ? itemCount() : rowCount, columnCount, cell);
            return;
        }
        table += chunk->text;
        rowCount = chunk->rowCount;
        row = chunk->nextRow;
        column = chunk->nextColumn;
        if (chunk->complete) {
            return;
        }
        if (chunk->stalledCell) {
            appendRows(table, row, column, row + 1, column + 1, cell);
            column = column + 1 == columnCount ? 0 : column + 1;
            row += column == 0 ? 1 : 0;
        }
    }
}

std::string ListViewReader::tableText() const
{
    const std::vector<std::string> captions = columnCaptions();
    if (captions.empty()) {
        return {};
    }
    std::string table = headerLine(captions);
    const int columnCount = static_cast<int>(captions.size());
    if (InThreadList* fast = inThread()) {
        appendRowsInThread(*fast, table, columnCount);
    } else {
        appendRows(table, 0, 0, itemCount(), columnCount, [this](int row, int column) { return cellText(row, column); });
    }
    return table;
}

std::vector<std::string> ListViewReader::cellTexts(const std::vector<std::pair<int, int>>& cells) const
{
    InThreadList* fast = inThread();
    if (std::optional<std::vector<std::string>> texts = fast != nullptr ? fast->cells(cells) : std::nullopt) {
        return *texts;
    }
    std::vector<std::string> texts;
    for (const auto& [row, column] : cells) {
        texts.push_back(cellText(row, column));
    }
    return texts;
}

int columnIndex(const std::vector<std::string>& captions, const std::string& caption)
{
    const auto found = std::find(captions.begin(), captions.end(), caption);
    return found == captions.end() ? -1 : static_cast<int>(found - captions.begin());
}

int ListViewReader::findRow(int column, const std::string& value) const
{
    InThreadList* fast = inThread();
    if (const std::optional<int> found = fast != nullptr ? fast->findRow(column, value) : std::nullopt) {
        return *found;
    }
    const int rows = itemCount();
    for (int row = 0; row < rows && !channel_.lost(); ++row) {
        if (cellText(row, column) == value) {
            return row;
        }
    }
    return -1;
}

void ListViewReader::selectRow(int row) const
{
    static_cast<void>(channel_.send(list_, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE));
    MessageBuffer itemBuffer(sizeof(LVITEMA));
    LVITEMA& item = itemBuffer.record<LVITEMA>();
    item.stateMask = LVIS_SELECTED;
    item.state = LVIS_SELECTED;
    static_cast<void>(channel_.send(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(row), itemBuffer.address(), {&itemBuffer}));
}

}  // namespace zelvo
