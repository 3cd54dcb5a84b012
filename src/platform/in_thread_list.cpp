#include "platform/in_thread_list.h"

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdint>
#include <cstring>
#include <iterator>

#include "text/table_text.h"

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
    Task task;
    WNDPROC original;  // the list's own procedure, as it was when ours went in front
    volatile LONG state;
    char* storage[2];  // the two buffers' allocations, freed by the list's thread when given up on while running
    // Rows: where to go on, in a table of `columnCount` columns and `rowCount` rows (-1: read it).
    int row;
    int column;
    int columnCount;
    int rowCount;
    // FindRow: the column; the value is at the start of the output.
    int findColumn;
    std::size_t valueLength;
    // Cells: how many (row, column) pairs are at the start of the output.
    int cellCount;
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

[[nodiscard]] bool givenUp(const Request& request) noexcept
{
    return request.state == GivenUp;
}

// Reads one cell into `area` (`size` bytes, the last of which stays a zero).
// Its length when whole, by the same rule as ListViewReader::cellText: a
// cut text fills the buffer to its last byte or the one before, so two
// spare bytes prove it whole. -1 when it may have been cut.
std::size_t boundedLength(const char* text, std::size_t limit) noexcept
{
    const void* zero = std::memchr(text, '\0', limit);
    return zero == nullptr ? limit : static_cast<std::size_t>(static_cast<const char*>(zero) - text);
}

long long readCellHere(const Request& request, HWND list, int row, int column, char* area,
                       std::size_t size) noexcept
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
    CallWindowProcA(request.original, list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    const std::size_t length = boundedLength(area, told);
    return length + 3 <= told ? static_cast<long long>(length) : -1;
}

int itemCountHere(const Request& request, HWND list) noexcept
{
    const LRESULT count = CallWindowProcA(request.original, list, LVM_GETITEMCOUNT, 0, 0);
    return count > 0 ? static_cast<int>(count) : 0;
}

// Each caption, cut at 255 bytes, followed by a zero.
void readCaptionsHere(Request& request, HWND list) noexcept
{
    const auto header = reinterpret_cast<HWND>(CallWindowProcA(request.original, list, LVM_GETHEADER, 0, 0));
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
        const LRESULT read = CallWindowProcA(request.original, list, LVM_GETCOLUMNA, static_cast<WPARAM>(column),
                                             reinterpret_cast<LPARAM>(&info));
        area[read == 0 ? 0 : captionBytes - 1] = '\0';
        request.used += boundedLength(area, captionBytes) + 1;
    }
    request.complete = !givenUp(request);
}

// Table text from (row, column) on, until the output is full.
void readRowsHere(Request& request, HWND list) noexcept
{
    if (request.rowCount < 0) {
        request.rowCount = itemCountHere(request, list);
    }
    const std::size_t chunkStart = request.used;
    for (; request.row < request.rowCount; ++request.row, request.column = 0) {
        for (; request.column < request.columnCount; ++request.column) {
            if (givenUp(request)) {
                return;
            }
            char* separator = request.out + request.used;
            const std::size_t room = request.capacity - request.used - 1;
            const long long length = readCellHere(request, list, request.row, request.column, separator + 1, room);
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

void findRowHere(Request& request, HWND list) noexcept
{
    const char* value = request.out;
    char* scratch = request.out + request.valueLength;
    const std::size_t room = std::min(request.capacity - request.valueLength, findScratchBytes(request.valueLength));
    const int rows = itemCountHere(request, list);
    request.found = -1;
    for (int row = 0; row < rows && !givenUp(request); ++row) {
        const long long length = readCellHere(request, list, row, request.findColumn, scratch, room);
        if (length == static_cast<long long>(request.valueLength) &&
            std::memcmp(scratch, value, request.valueLength) == 0) {
            request.found = row;
            break;
        }
    }
    request.complete = !givenUp(request);
}

// After the (row, column) pairs: each cell's length (4 bytes) and bytes.
void readCellsHere(Request& request, HWND list) noexcept
{
    const std::size_t pairsBytes = static_cast<std::size_t>(request.cellCount) * 2 * sizeof(int);
    request.used = pairsBytes;
    for (int index = 0; index < request.cellCount && !givenUp(request); ++index) {
        int where[2];
        std::memcpy(where, request.out + 2 * sizeof(int) * static_cast<std::size_t>(index), sizeof where);
        char* lengthAt = request.out + request.used;
        const std::size_t room = request.capacity - request.used - sizeof(std::uint32_t);
        const long long length = readCellHere(request, list, where[0], where[1], lengthAt + sizeof(std::uint32_t), room);
        if (length < 0) {
            return;
        }
        const auto stored = static_cast<std::uint32_t>(length);
        std::memcpy(lengthAt, &stored, sizeof stored);
        request.used += sizeof stored + stored;
    }
    request.complete = !givenUp(request);
}

void runHere(Request& request, HWND list) noexcept
{
    switch (request.task) {
    case Task::Captions: readCaptionsHere(request, list); break;
    case Task::Rows: readRowsHere(request, list); break;
    case Task::FindRow: findRowHere(request, list); break;
    case Task::Cells: readCellsHere(request, list); break;
    }
}

UINT readMessage() noexcept
{
    static const UINT message = RegisterWindowMessageA("ZelvoInThreadListRead");
    return message;
}

// The lists our procedure stands in front of, with their own procedures:
// a message that reaches ours is passed on to the list's. A small ring, so
// that a message that came in just as ours was taken out still finds its
// list's procedure.
struct Fronted {
    std::atomic<HWND> list{nullptr};
    std::atomic<WNDPROC> original{nullptr};
};
Fronted fronted[8];
std::atomic<unsigned> nextFronted{0};

WNDPROC originalOf(HWND list) noexcept
{
    for (const Fronted& entry : fronted) {
        if (entry.list.load() == list) {
            return entry.original.load();
        }
    }
    return nullptr;
}

// The request's work, then its end: the list's thread frees it when the
// caller gave up while it ran.
LRESULT answerRequest(HWND list, Request& request) noexcept
{
    if (InterlockedCompareExchange(&request.state, Running, Waiting) != Waiting) {
        return 0;  // given up on before it began: nothing more is touched
    }
    runHere(request, list);
    if (InterlockedCompareExchange(&request.state, Done, Running) == GivenUp) {
        char* const storage[2] = {request.storage[0], request.storage[1]};
        delete[] storage[1];
        delete[] storage[0];
        return 0;
    }
    return 1;
}

LRESULT CALLBACK readingProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    if (message == readMessage() && wParam == requestMagic && lParam != 0) {
        auto& request = *reinterpret_cast<Request*>(lParam);
        if (request.magic == requestMagic) {
            return answerRequest(list, request);
        }
    }
    const WNDPROC original = originalOf(list);
    return original != nullptr ? CallWindowProcA(original, list, message, wParam, lParam)
                               : DefWindowProcA(list, message, wParam, lParam);
}

// Keeps this module loaded for good: the list's thread may still be running
// its code when the caller gives up on it.
void stayLoaded() noexcept
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&readingProc), &module);
}

// ---------------------------------------------------------------------------
// On the caller's thread.

// A request and its output, sent to the list. The task's answer, or none
// when the list's thread did not answer (the channel is then lost) or did
// not read it here.
class Exchange {
public:
    Exchange(Task task, WNDPROC original, std::size_t outputBytes)
        : header_(sizeof(Request)), output_(outputBytes + 1, MessageBuffer::Fill::Unset)
    {
        Request& request = header_.record<Request>();
        request.magic = requestMagic;
        request.task = task;
        request.original = original;
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
    // Once the list's thread has begun, it owns the request; before that the
    // memory is kept until the client has handled the message.
    void giveUp(MessageChannel& channel, HWND list, Request& request)
    {
        const LONG was = InterlockedCompareExchange(&request.state, GivenUp, Running);
        if (was == Running) {
            stayLoaded();
            header_.abandon();
            output_.abandon();
            return;
        }
        if (was == Waiting && InterlockedCompareExchange(&request.state, GivenUp, Waiting) == Running) {
            // It began in between: ask again, now that it runs.
            giveUp(channel, list, request);
            return;
        }
        channel.keepUntilHandled(list, std::move(header_));
        channel.keepUntilHandled(list, std::move(output_));
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

// The list's own procedure is put back only while ours is in front of it: a
// procedure put in front of ours since would otherwise be cut out. Ours then
// stays, passing everything on, and the module stays loaded.
void restore(HWND list, WNDPROC original) noexcept
{
    if (GetWindowLongPtrA(list, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&readingProc)) {
        SetWindowLongPtrA(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
    } else if (IsWindow(list)) {
        stayLoaded();
    }
}

}  // namespace

InThreadList::InThreadList(MessageChannel& channel, HWND list) noexcept : channel_(channel), list_(list)
{
    if (list == nullptr || channel.lost() || readMessage() == 0) {
        return;
    }
    original_ = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(list, GWLP_WNDPROC));
    if (original_ == nullptr) {
        return;
    }
    Fronted& slot = fronted[nextFronted++ % std::size(fronted)];
    slot.original = original_;
    slot.list = list;
    SetLastError(ERROR_SUCCESS);
    const LONG_PTR previous = SetWindowLongPtrA(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&readingProc));
    installed_ = previous != 0 || GetLastError() == ERROR_SUCCESS;
}

InThreadList::~InThreadList()
{
    if (installed_) {
        restore(list_, original_);
    }
}

std::optional<std::vector<std::string>> InThreadList::captions()
{
    if (!installed_) {
        return std::nullopt;
    }
    Exchange exchange(Task::Captions, original_, captionsBytes);
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
    Exchange exchange(Task::Rows, original_, chunkBytes);
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
    Exchange exchange(Task::FindRow, original_, value.size() + findScratchBytes(value.size()));
    Request& request = exchange.request();
    request.findColumn = column;
    request.valueLength = value.size();
    value.copy(exchange.output(), value.size());
    if (!exchange.send(channel_, list_) || !request.complete) {
        return std::nullopt;
    }
    return request.found;
}

std::optional<std::vector<std::string>> InThreadList::cells(const std::vector<std::pair<int, int>>& wanted)
{
    if (!installed_) {
        return std::nullopt;
    }
    Exchange exchange(Task::Cells, original_, cellsBytes(wanted.size()));
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
