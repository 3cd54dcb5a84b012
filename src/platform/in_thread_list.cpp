#include "platform/in_thread_list.h"

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdint>
#include <cstring>
#include <iterator>

#include "platform/module_pin.h"
#include "text/table_text.h"
#include "zelvo.h"

namespace zelvo {

namespace {

// ---------------------------------------------------------------------------
// The request, as both threads see it. It lives in a MessageBuffer of the
// caller's; the output goes to a second one.

enum class Task : UINT { Captions, Rows, FindRow, Cells };

// Who owns the request when the caller gives up: while the list's thread has
// not begun it, the caller (it keeps the memory until the client has handled
// the message); once begun, the list's thread, which frees it when done.
enum State : LONG { Waiting = 0, Running = 1, Done = 2, GivenUp = 3 };

constexpr DWORD requestMagic = 0x5A4C5652;
// Bumped whenever Request changes, so that two copies of the library from
// different builds in one client never read each other's requests: the
// registered message's name carries it, and so does every request.
constexpr DWORD requestLayout = 2;
// One exchange reads for about this long at most, then leaves the rest to
// the next: a list whose cells are slow to give (an owner-data list that
// asks its parent for every cell) must never look like a stopped client.
constexpr ULONGLONG chunkBudgetMs = 200;
constexpr std::size_t captionBytes = 256;
constexpr std::size_t minimumCellBytes = 256;

// Room for every caption of a list with many columns; a list with more
// has its captions read one by one.
constexpr std::size_t captionsBytes = 256 * captionBytes;

// What a few short cells (a message row) need; a longer one is read on its own.
[[nodiscard]] constexpr std::size_t cellsBytes(std::size_t cells) noexcept
{
    return cells * (2 * sizeof(int) + sizeof(std::uint32_t) + 4 * minimumCellBytes);
}

// Room to read a cell that may equal a value: enough to tell it is longer.
[[nodiscard]] constexpr std::size_t findScratchBytes(std::size_t valueLength) noexcept
{
    return std::max(minimumCellBytes, valueLength + 3) + 1;
}

struct Request {
    DWORD magic;
    DWORD size;    // sizeof(Request) of the sender's build
    DWORD layout;  // requestLayout of the sender's build
    Task task;
    volatile LONG state;
    char* storage[2];  // the two buffers' allocations, freed by the list's thread when given up on while running
    // Rows: where to go on, in a table of `columnCount` columns and `rowCount` rows (-1: read it).
    int row;
    int column;
    int columnCount;
    int rowCount;
    // FindRow: the column and the row to go on from; the value is at the
    // start of the output.
    int findColumn;
    int findFrom;
    std::size_t valueLength;
    // Cells: how many (row, column) pairs are at the start of the output.
    int cellCount;
    // When the list's thread began this exchange (its own tick count).
    ULONGLONG started;
    // The output buffer and what was written there.
    char* out;
    std::size_t capacity;
    std::size_t used;
    int found;
    bool complete;
    bool stalledCell;
};

// ---------------------------------------------------------------------------
// On the list's thread. Nothing here allocates, throws or waits.

// One request being answered: the request, the list, and the procedure that
// stands behind ours in the list's chain, through which every cell is read.
struct Here {
    Request& request;
    HWND list;
    WNDPROC next;
    bool wide;  // `next` is a Unicode procedure (of a Unicode window)
};

// A message to the procedure behind ours, called as the kind it is.
LRESULT callNext(const Here& here, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    return here.wide ? CallWindowProcW(here.next, here.list, message, wParam, lParam)
                     : CallWindowProcA(here.next, here.list, message, wParam, lParam);
}

[[nodiscard]] bool givenUp(const Request& request) noexcept
{
    return request.state == GivenUp;
}

// Whether this exchange has read for its time; it then ends, and the caller
// goes on in the next. `progressed`: at least one cell was read already,
// so a slow list still moves.
[[nodiscard]] bool outOfTime(const Request& request, bool progressed) noexcept
{
    return progressed && GetTickCount64() - request.started >= chunkBudgetMs;
}

// The length of the text before the first zero, at most `limit`.
std::size_t boundedLength(const char* text, std::size_t limit) noexcept
{
    const void* zero = std::memchr(text, '\0', limit);
    return zero == nullptr ? limit : static_cast<std::size_t>(static_cast<const char*>(zero) - text);
}

// Reads one cell into `area` (`size` bytes, the last of which stays a zero).
// Its length when whole, by the same rule as ListViewReader::cellText: a
// cut text fills the buffer to its last byte or the one before, so two
// spare bytes prove it whole. -1 when it may have been cut.
long long readCellHere(const Here& here, int row, int column, char* area, std::size_t size) noexcept
{
    if (size < 4) {
        return -1;
    }
    const std::size_t told = std::min<std::size_t>(size - 1, INT_MAX);
    area[0] = '\0';
    area[told] = '\0';
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = area;
    item.cchTextMax = static_cast<int>(told);
    callNext(here, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    const std::size_t length = boundedLength(area, told);
    return length + 3 <= told ? static_cast<long long>(length) : -1;
}

int itemCountHere(const Here& here) noexcept
{
    const LRESULT count = callNext(here, LVM_GETITEMCOUNT, 0, 0);
    return count > 0 ? static_cast<int>(count) : 0;
}

// Each caption, cut at 255 bytes, followed by a zero.
void readCaptionsHere(const Here& here) noexcept
{
    Request& request = here.request;
    const auto header = reinterpret_cast<HWND>(callNext(here, LVM_GETHEADER, 0, 0));
    const LRESULT count = header == nullptr ? 0 : SendMessageA(header, HDM_GETITEMCOUNT, 0, 0);
    for (LRESULT column = 0; column < count && !givenUp(request); ++column) {
        if (request.capacity - request.used < captionBytes) {
            return;  // complete stays false: the caller reads them one by one
        }
        char* area = request.out + request.used;
        std::memset(area, 0, captionBytes);
        LVCOLUMNA info = {};
        info.mask = LVCF_TEXT;
        info.pszText = area;
        info.cchTextMax = static_cast<int>(captionBytes);
        const LRESULT read = callNext(here, LVM_GETCOLUMNA, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&info));
        area[read == 0 ? 0 : captionBytes - 1] = '\0';
        request.used += boundedLength(area, captionBytes) + 1;
    }
    request.complete = !givenUp(request);
}

// Table text from (row, column) on, until the output is full or the
// exchange's time is up.
void readRowsHere(const Here& here) noexcept
{
    Request& request = here.request;
    if (request.rowCount < 0) {
        request.rowCount = itemCountHere(here);
    }
    const std::size_t chunkStart = request.used;
    for (; request.row < request.rowCount; ++request.row, request.column = 0) {
        for (; request.column < request.columnCount; ++request.column) {
            if (givenUp(request) || outOfTime(request, request.used > chunkStart)) {
                return;
            }
            char* separator = request.out + request.used;
            const std::size_t room = request.capacity - request.used - 1;
            const long long length = readCellHere(here, request.row, request.column, separator + 1, room);
            if (length < 0) {
                // Too long for what is left: the next chunk, or on its own.
                request.stalledCell = request.used == chunkStart;
                return;
            }
            *separator = request.column == 0 ? lineSeparator : cellSeparator;
            request.used += 1 + static_cast<std::size_t>(length);
        }
    }
    request.complete = true;
}

// From row `findFrom` on; an exchange out of time leaves `row` where the
// next one goes on.
void findRowHere(const Here& here) noexcept
{
    Request& request = here.request;
    const char* value = request.out;
    char* scratch = request.out + request.valueLength;
    const std::size_t room = std::min(request.capacity - request.valueLength, findScratchBytes(request.valueLength));
    const int rows = itemCountHere(here);
    request.found = -1;
    for (request.row = request.findFrom; request.row < rows; ++request.row) {
        if (givenUp(request) || outOfTime(request, request.row > request.findFrom)) {
            return;
        }
        const long long length = readCellHere(here, request.row, request.findColumn, scratch, room);
        if (length == static_cast<long long>(request.valueLength) &&
            std::memcmp(scratch, value, request.valueLength) == 0) {
            request.found = request.row;
            break;
        }
    }
    request.complete = !givenUp(request);
}

// After the (row, column) pairs: each cell's length (4 bytes) and bytes.
void readCellsHere(const Here& here) noexcept
{
    Request& request = here.request;
    const std::size_t pairsBytes = static_cast<std::size_t>(request.cellCount) * 2 * sizeof(int);
    request.used = pairsBytes;
    for (int index = 0; index < request.cellCount && !givenUp(request); ++index) {
        int where[2];
        std::memcpy(where, request.out + 2 * sizeof(int) * static_cast<std::size_t>(index), sizeof where);
        char* lengthAt = request.out + request.used;
        const std::size_t room = request.capacity - request.used - sizeof(std::uint32_t);
        const long long length = readCellHere(here, where[0], where[1], lengthAt + sizeof(std::uint32_t), room);
        if (length < 0) {
            return;
        }
        const auto stored = static_cast<std::uint32_t>(length);
        std::memcpy(lengthAt, &stored, sizeof stored);
        request.used += sizeof stored + stored;
    }
    request.complete = !givenUp(request);
}

void runHere(const Here& here) noexcept
{
    here.request.started = GetTickCount64();
    switch (here.request.task) {
    case Task::Captions: readCaptionsHere(here); break;
    case Task::Rows: readRowsHere(here); break;
    case Task::FindRow: findRowHere(here); break;
    case Task::Cells: readCellsHere(here); break;
    }
}

// The registered message's name carries the version and the request's
// layout: a copy of the library from another build has another message.
UINT readMessage() noexcept
{
    static const UINT message = RegisterWindowMessageA("Zelvo.InThreadListRead." ZELVO_VERSION ".layout2");
    return message;
}
static_assert(requestLayout == 2, "the registered message's name states the request's layout");

[[nodiscard]] bool isOurRequest(const Request& request) noexcept
{
    return request.magic == requestMagic && request.size == sizeof(Request) && request.layout == requestLayout;
}

// ---------------------------------------------------------------------------
// The lists our procedure stands in front of. A list's record holds the
// procedure behind ours in that list's chain, taken from what
// SetWindowLongPtr returned when ours went in. It stays the list's while our
// procedure may be in the chain: until ours is taken out again, or the list
// is destroyed. Something put in front of ours meanwhile (a skin, another
// add-in, a second copy of this library) keeps calling ours, and ours keeps
// finding where to pass every message on; a later reader of that list uses
// ours where it stands instead of putting a second one in.

struct Fronted {
    std::atomic<HWND> list{nullptr};
    std::atomic<WNDPROC> next{nullptr};
    std::atomic<bool> inChain{false};
    // Ours went in as a Unicode procedure: the list is a Unicode window and
    // stays one, and no text passing through is narrowed to the code page.
    std::atomic<bool> wide{false};
};
constexpr std::size_t frontedRecords = 64;
Fronted fronted[frontedRecords];

Fronted* recordOf(HWND list) noexcept
{
    for (Fronted& record : fronted) {
        if (record.list.load() == list) {
            return &record;
        }
    }
    return nullptr;
}

// A record for a list that has none: a free one whose list is gone first,
// then any free one. Null when every record is in a chain.
Fronted* freeRecord() noexcept
{
    Fronted* spare = nullptr;
    for (Fronted& record : fronted) {
        if (record.inChain.load()) {
            continue;
        }
        const HWND list = record.list.load();
        if (list == nullptr || !IsWindow(list)) {
            return &record;
        }
        spare = spare != nullptr ? spare : &record;
    }
    return spare;
}

// The request's work, then its end: the list's thread frees it when the
// caller gave up while it ran.
LRESULT answerRequest(const Here& here) noexcept
{
    Request& request = here.request;
    if (InterlockedCompareExchange(&request.state, Running, Waiting) != Waiting) {
        return 0;  // given up on before it began: nothing more is touched
    }
    runHere(here);
    if (InterlockedCompareExchange(&request.state, Done, Running) == GivenUp) {
        char* const storage[2] = {request.storage[0], request.storage[1]};
        delete[] storage[1];
        delete[] storage[0];
        return 0;
    }
    return 1;
}

// Ours, in the kind of the window it stands in front of.
template <bool Wide>
LRESULT CALLBACK readingProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    Fronted* record = recordOf(list);
    // Never without a record while ours is in a chain; should it be, the
    // list's class procedure is the best guess of where the message goes.
    const WNDPROC next = record != nullptr ? record->next.load()
                                           : reinterpret_cast<WNDPROC>(Wide ? GetClassLongPtrW(list, GCLP_WNDPROC)
                                                                            : GetClassLongPtrA(list, GCLP_WNDPROC));
    if (message == readMessage() && wParam == requestMagic && lParam != 0 && next != nullptr) {
        auto& request = *reinterpret_cast<Request*>(lParam);
        if (isOurRequest(request)) {
            return answerRequest(Here{request, list, next, Wide});
        }
    }
    const LRESULT result = Wide ? CallWindowProcW(next, list, message, wParam, lParam)
                                : CallWindowProcA(next, list, message, wParam, lParam);
    if (message == WM_NCDESTROY && record != nullptr) {
        record->inChain = false;  // the chain is gone with the list
    }
    return result;
}

[[nodiscard]] WNDPROC oursOfKind(bool wide) noexcept
{
    return wide ? &readingProc<true> : &readingProc<false>;
}

// The window's procedure as a procedure of that kind gives it: a procedure of
// the other kind comes back as a handle that stands for it.
[[nodiscard]] WNDPROC procedureOf(HWND list, bool wide) noexcept
{
    return reinterpret_cast<WNDPROC>(wide ? GetWindowLongPtrW(list, GWLP_WNDPROC) : GetWindowLongPtrA(list, GWLP_WNDPROC));
}

WNDPROC setProcedure(HWND list, bool wide, WNDPROC procedure) noexcept
{
    const auto value = reinterpret_cast<LONG_PTR>(procedure);
    return reinterpret_cast<WNDPROC>(wide ? SetWindowLongPtrW(list, GWLP_WNDPROC, value)
                                          : SetWindowLongPtrA(list, GWLP_WNDPROC, value));
}

[[nodiscard]] bool oursInFront(HWND list, bool wide) noexcept
{
    return procedureOf(list, wide) == oursOfKind(wide);
}

// Puts ours in front of the list's procedure, of the list's kind. Null when
// that cannot be done.
Fronted* putInFront(HWND list) noexcept
{
    Fronted* record = recordOf(list);
    if (record != nullptr && record->inChain.load()) {
        return record;  // ours is in the chain already, behind something put in front of it
    }
    record = record != nullptr ? record : freeRecord();
    const bool wide = IsWindowUnicode(list) != FALSE;
    const WNDPROC current = procedureOf(list, wide);
    if (record == nullptr || current == nullptr || oursInFront(list, false) || oursInFront(list, true)) {
        return nullptr;
    }
    // The record is ready before ours is in the chain, so the first message
    // that reaches ours finds where to go.
    record->next = current;
    record->wide = wide;
    record->list = list;
    record->inChain = true;
    pinModule();
    SetLastError(ERROR_SUCCESS);
    const WNDPROC previous = setProcedure(list, wide, oursOfKind(wide));
    if (previous == nullptr && GetLastError() != ERROR_SUCCESS) {
        record->inChain = false;
        return nullptr;
    }
    if (previous != current && previous != oursOfKind(wide)) {
        record->next = previous;  // put in front between the read and the set: it stays in the chain
    }
    return record;
}

// Takes ours out of the chain when it is in front, putting back what stood
// behind it. When something stands in front of ours, ours stays, passing
// everything on. Should a procedure come in front of ours between the look
// and the change, it is put back in front at once, with ours behind it.
void takeOut(HWND list, Fronted& record) noexcept
{
    const bool wide = record.wide.load();
    if (!oursInFront(list, wide)) {
        return;
    }
    const WNDPROC previous = setProcedure(list, wide, record.next.load());
    if (previous == oursOfKind(wide)) {
        record.inChain = false;
    } else if (previous != nullptr) {
        setProcedure(list, wide, previous);
    }
}

// ---------------------------------------------------------------------------
// On the caller's thread.

// A request and its output, sent to the list. The task's answer, or none
// when the list's thread did not answer (the channel is then lost) or did
// not read it here.
class Exchange {
public:
    Exchange(Task task, std::size_t outputBytes)
        : header_(sizeof(Request)), output_(outputBytes + 1, MessageBuffer::Fill::Unset)
    {
        Request& request = header_.record<Request>();
        request.magic = requestMagic;
        request.size = sizeof(Request);
        request.layout = requestLayout;
        request.task = task;
        request.state = Waiting;
        request.out = output_.bytes();
        request.capacity = outputBytes;
    }

    [[nodiscard]] Request& request() noexcept { return header_.record<Request>(); }
    [[nodiscard]] char* output() noexcept { return output_.bytes(); }

    // Sends the request; true when the list's thread answered it here.
    [[nodiscard]] bool send(MessageChannel& channel, HWND list)
    {
        Request& request = header_.record<Request>();
        request.storage[0] = header_.allocation();
        request.storage[1] = output_.allocation();
        const std::optional<LRESULT> answer = channel.send(list, readMessage(), requestMagic, header_.address());
        if (!answer) {
            giveUp(channel, list, request);
            return false;
        }
        return *answer == 1;
    }

private:
    // Once the list's thread has begun, it owns the request and frees it when
    // done; before that the memory is kept until the client has handled the
    // message, which then touches nothing but the request's state.
    void giveUp(MessageChannel& channel, HWND list, Request& request)
    {
        const LONG was = InterlockedCompareExchange(&request.state, GivenUp, Running);
        if (was == Running) {
            header_.abandon();
            output_.abandon();
            return;
        }
        if (was == Waiting && InterlockedCompareExchange(&request.state, GivenUp, Waiting) == Running) {
            // It began in between: ask again, now that it runs.
            giveUp(channel, list, request);
            return;
        }
        channel.keepUntilHandled(list, std::move(header_), Release::AfterLaterAnswer);
        channel.keepUntilHandled(list, std::move(output_), Release::AfterLaterAnswer);
    }

    MessageBuffer header_;
    MessageBuffer output_;
};

std::vector<std::string> splitAtZeros(const char* bytes, std::size_t size)
{
    std::vector<std::string> texts;
    for (std::size_t at = 0; at < size;) {
        const std::size_t length = boundedLength(bytes + at, size - at);
        texts.emplace_back(bytes + at, length);
        at += length + 1;
    }
    return texts;
}

}  // namespace

InThreadList::InThreadList(MessageChannel& channel, HWND list) noexcept : channel_(channel), list_(list)
{
    if (list == nullptr || channel.lost() || readMessage() == 0) {
        return;
    }
    installed_ = putInFront(list) != nullptr;
}

InThreadList::~InThreadList()
{
    if (!installed_) {
        return;
    }
    if (Fronted* record = recordOf(list_)) {
        takeOut(list_, *record);
    }
}

std::optional<std::vector<std::string>> InThreadList::captions()
{
    if (!installed_) {
        return std::nullopt;
    }
    Exchange exchange(Task::Captions, captionsBytes);
    if (!exchange.send(channel_, list_) || !exchange.request().complete) {
        return std::nullopt;
    }
    return splitAtZeros(exchange.output(), exchange.request().used);
}

std::optional<InThreadList::Chunk> InThreadList::rows(int row, int column, int columnCount, int rowCount)
{
    if (!installed_) {
        return std::nullopt;
    }
    Exchange exchange(Task::Rows, chunkBytes);
    Request& request = exchange.request();
    request.row = row;
    request.column = column;
    request.columnCount = columnCount;
    request.rowCount = rowCount;
    if (!exchange.send(channel_, list_)) {
        return std::nullopt;
    }
    Chunk chunk;
    chunk.text.assign(exchange.output(), request.used);
    chunk.rowCount = request.rowCount;
    chunk.nextRow = request.row;
    chunk.nextColumn = request.column;
    chunk.complete = request.complete;
    chunk.stalledCell = request.stalledCell;
    return chunk;
}

std::optional<int> InThreadList::findRow(int column, const std::string& value)
{
    if (!installed_) {
        return std::nullopt;
    }
    // Exchange after exchange, each going on where the last one's time ran out.
    for (int from = 0;;) {
        Exchange exchange(Task::FindRow, value.size() + findScratchBytes(value.size()));
        Request& request = exchange.request();
        request.findColumn = column;
        request.findFrom = from;
        request.valueLength = value.size();
        value.copy(exchange.output(), value.size());
        if (!exchange.send(channel_, list_)) {
            return std::nullopt;
        }
        if (request.complete) {
            return request.found;
        }
        if (request.row <= from) {
            return std::nullopt;  // no progress: read cell by cell instead
        }
        from = request.row;
    }
}

std::optional<std::vector<std::string>> InThreadList::cells(const std::vector<std::pair<int, int>>& wanted)
{
    if (!installed_) {
        return std::nullopt;
    }
    Exchange exchange(Task::Cells, cellsBytes(wanted.size()));
    Request& request = exchange.request();
    request.cellCount = static_cast<int>(wanted.size());
    for (std::size_t index = 0; index < wanted.size(); ++index) {
        const int where[2] = {wanted[index].first, wanted[index].second};
        std::memcpy(exchange.output() + index * sizeof where, where, sizeof where);
    }
    if (!exchange.send(channel_, list_) || !request.complete) {
        return std::nullopt;
    }
    std::vector<std::string> texts;
    for (std::size_t at = wanted.size() * 2 * sizeof(int); at < request.used;) {
        std::uint32_t length = 0;
        std::memcpy(&length, exchange.output() + at, sizeof length);
        texts.emplace_back(exchange.output() + at + sizeof length, length);
        at += sizeof length + length;
    }
    return texts;
}

}  // namespace zelvo
