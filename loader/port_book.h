// The stable address of each trading client's service. A client is known
// by its program's path: the first client of a program seen gets the first
// port from --port up that no other program has, and every later client of
// that program gets the same port, so its service comes back at the same
// address (and token file) after each restart. Two clients of one program
// running at once get one port each, in the order they are served: the
// second one its program's second port. The book is ports.json in the data
// folder, written when a port is given.
#pragma once
#include <functional>
#include <string>
#include <vector>

namespace zelvo_load {

constexpr wchar_t portBookName[] = L"ports.json";

struct BookEntry {
    std::wstring program;         // the client's program file, as Windows names it
    std::vector<unsigned> ports;  // for its first, second... client running at once
};

struct PortBook {
    std::vector<BookEntry> entries;
};

// The book in `path`; a missing file is an empty book. On a file that cannot
// be read or is not a book, `problem` says why.
[[nodiscard]] PortBook readPortBook(const std::wstring& path, std::wstring& problem);

// Writes the book in one step (a whole new file replaces the old one).
[[nodiscard]] bool writePortBook(const std::wstring& path, const PortBook& book);

// The port the book gives a client of `program` whose service is about to
// start: the first of the program's ports that `held` (the ports of the
// services running now) does not hold; else a new one, added to the book
// (`added` set): the lowest from `firstPort` up that no entry has and
// `isFree` accepts. 0 when no port is left.
[[nodiscard]] unsigned choosePort(PortBook& book, const std::wstring& program, const std::vector<unsigned>& held,
                                  unsigned firstPort, const std::function<bool(unsigned)>& isFree, bool& added);

// The port the book has for the next client of `program`, without adding
// one; 0 when it has none.
[[nodiscard]] unsigned bookedPort(const PortBook& book, const std::wstring& program, const std::vector<unsigned>& held);

}  // namespace zelvo_load
