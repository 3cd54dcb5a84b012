#include "port_book.h"

#include <windows.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "gbk_text.h"
#include "whole_file.h"

namespace zelvo_load {

namespace {

using Json = nlohmann::json;
using OrderedJson = nlohmann::ordered_json;  // written with "program" first, as a person reads it

// Paths compared as the file system compares them: ordinal, ignoring case.
[[nodiscard]] bool samePath(const std::wstring& one, const std::wstring& other)
{
    return CompareStringOrdinal(one.c_str(), static_cast<int>(one.size()), other.c_str(), static_cast<int>(other.size()),
                                TRUE) == CSTR_EQUAL;
}

// The index of the program's entry, or the number of entries when it has none.
[[nodiscard]] size_t entryOf(const PortBook& book, const std::wstring& program)
{
    const auto found = std::find_if(book.entries.begin(), book.entries.end(),
                                    [&](const BookEntry& entry) { return samePath(entry.program, program); });
    return static_cast<size_t>(found - book.entries.begin());
}

[[nodiscard]] bool contains(const std::vector<unsigned>& ports, unsigned port)
{
    return std::find(ports.begin(), ports.end(), port) != ports.end();
}

[[nodiscard]] bool booked(const PortBook& book, unsigned port)
{
    return std::any_of(book.entries.begin(), book.entries.end(),
                       [&](const BookEntry& entry) { return contains(entry.ports, port); });
}

[[nodiscard]] bool readEntry(const Json& item, BookEntry& entry)
{
    if (!item.is_object() || !item.contains("program") || !item["program"].is_string() || !item.contains("ports") ||
        !item["ports"].is_array()) {
        return false;
    }
    const std::optional<std::wstring> program = zelvo_common::utf8ToWide(item["program"].get<std::string>());
    if (!program || program->empty()) {
        return false;
    }
    entry.program = *program;
    for (const Json& port : item["ports"]) {
        if (!port.is_number_unsigned() || port.get<unsigned>() < 1 || port.get<unsigned>() > 65535) {
            return false;
        }
        entry.ports.push_back(port.get<unsigned>());
    }
    return true;
}

}  // namespace

PortBook readPortBook(const std::wstring& path, std::wstring& problem)
{
    PortBook book;
    std::ifstream file(path.c_str(), std::ios::binary);
    if (!file) {
        if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
            problem = L"cannot read " + path;
        }
        return book;
    }
    std::stringstream text;
    text << file.rdbuf();
    const Json read = Json::parse(text.str(), nullptr, false);
    if (!read.is_object() || !read.contains("clients") || !read["clients"].is_array()) {
        problem = path + L" is not a book of ports (an object with a list \"clients\"); mend it or move it away";
        return {};
    }
    for (const Json& item : read["clients"]) {
        BookEntry entry;
        if (!readEntry(item, entry)) {
            problem = path + L" holds a client that is not {\"program\": PATH, \"ports\": [PORT, ...]}; mend it or move it away";
            return {};
        }
        book.entries.push_back(std::move(entry));
    }
    return book;
}

bool writePortBook(const std::wstring& path, const PortBook& book)
{
    OrderedJson clients = OrderedJson::array();
    for (const BookEntry& entry : book.entries) {
        clients.push_back({{"program", zelvo_common::wideToUtf8(entry.program)}, {"ports", entry.ports}});
    }
    return zelvo_common::replaceFile(path, OrderedJson{{"clients", clients}}.dump(2) + "\n");
}

unsigned choosePort(PortBook& book, const std::wstring& program, const std::vector<unsigned>& held, unsigned firstPort,
                    const std::function<bool(unsigned)>& isFree, bool& added)
{
    added = false;
    if (const unsigned port = bookedPort(book, program, held); port != 0) {
        return port;
    }
    for (unsigned port = firstPort; port <= 65535; ++port) {
        if (booked(book, port) || contains(held, port) || !isFree(port)) {
            continue;
        }
        const size_t entry = entryOf(book, program);
        if (entry < book.entries.size()) {
            book.entries[entry].ports.push_back(port);
        } else {
            book.entries.push_back({program, {port}});
        }
        added = true;
        return port;
    }
    return 0;
}

unsigned bookedPort(const PortBook& book, const std::wstring& program, const std::vector<unsigned>& held)
{
    const size_t entry = entryOf(book, program);
    if (entry == book.entries.size()) {
        return 0;
    }
    const std::vector<unsigned>& ports = book.entries[entry].ports;
    const auto free = std::find_if(ports.begin(), ports.end(), [&](unsigned port) { return !contains(held, port); });
    return free == ports.end() ? 0 : *free;
}

}  // namespace zelvo_load
