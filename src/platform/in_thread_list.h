// Reading a report list on the list's own thread. A message from another
// thread costs a round trip through the window server for every cell (about
// 0.13-0.3 ms here); read on the list's thread a cell costs well under a
// microsecond. For the length of one reader a window procedure of ours is
// put in front of the list's own. It passes every message on, and answers
// one registered message by reading many cells through the list's own
// procedure into memory the request brings: one exchange per chunk of a
// table instead of one per cell, and a chunk never reads for more than
// about 200 ms, so a list slow to give its cells never looks stopped.
//
// What runs on the client's thread is noexcept, allocates nothing and
// never waits. Our procedure is taken out again when the reader goes, on
// every path, unless something was put in front of it meanwhile: it then
// stays in the chain, passing everything on, for as long as the list lives,
// and the next reader of that list uses it where it stands. Once our
// procedure has been in a client's list, the library stays loaded for good.
#pragma once
#include <windows.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "platform/message_channel.h"

namespace zelvo {

// Our window procedure in front of one list's, from construction to
// destruction. Not installed when that cannot be done (the caller then
// reads cell by cell).
class InThreadList {
public:
    InThreadList(MessageChannel& channel, HWND list) noexcept;
    ~InThreadList();
    InThreadList(const InThreadList&) = delete;
    InThreadList& operator=(const InThreadList&) = delete;

    [[nodiscard]] bool installed() const noexcept { return installed_; }

    // The column captions, each cut at 255 bytes between characters as
    // ListViewReader::columnText reads it. None when the read could not be
    // made here (the caller reads them one by one).
    [[nodiscard]] std::optional<std::vector<std::string>> captions();

    // Rows of table text from `row`, column `column` on, as
    // ListViewReader::tableText lays them out ('\n' before each row's first
    // cell, '\t' before the others), up to about one chunk. `rowCount` is the
    // list's item count, read once by the first chunk (pass -1 to have it
    // read). A chunk ends early, with `stalledCell` set, at a cell too long for
    // a chunk of its own: the caller reads that one cell by itself.
    struct Chunk {
        std::string text;
        int rowCount = 0;
        int nextRow = 0;
        int nextColumn = 0;
        bool complete = false;
        bool stalledCell = false;
    };
    [[nodiscard]] std::optional<Chunk> rows(int row, int column, int columnCount, int rowCount);

    // The first row whose cell in `column` is `value`, byte for byte, or -1.
    [[nodiscard]] std::optional<int> findRow(int column, const std::string& value);

    // The whole texts of the given cells, in order; none when one of them
    // is too long for a chunk.
    [[nodiscard]] std::optional<std::vector<std::string>> cells(const std::vector<std::pair<int, int>>& cells);

    static constexpr std::size_t chunkBytes = std::size_t{1} << 20;

private:
    MessageChannel& channel_;
    HWND list_;
    bool installed_ = false;
};

}  // namespace zelvo
