#include "store/snapshot_file.h"

#include <windows.h>

#include "handles.h"
#include "rules/byte_codec.h"
#include "whole_file.h"

namespace zelvo_host {

namespace {

constexpr char journalExtension[] = ".jsonl";
constexpr char magic[] = "zelvo-snapshot\n";
// Far beyond a year of records; a larger file is not one this service wrote.
constexpr std::uint64_t maxSnapshotBytes = 1ull << 30;

[[nodiscard]] std::optional<std::string> wholeFile(const std::wstring& path)
{
    const zelvo_common::UniqueHandle file(
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size;
    if (!file || !GetFileSizeEx(file.get(), &size) || static_cast<std::uint64_t>(size.QuadPart) > maxSnapshotBytes) {
        return std::nullopt;
    }
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() && (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
                           read != bytes.size())) {
        return std::nullopt;
    }
    return bytes;
}

}  // namespace

std::wstring snapshotPathOf(const std::wstring& journalPath)
{
    const std::wstring extension(journalExtension, journalExtension + sizeof journalExtension - 1);
    const bool named = journalPath.size() > extension.size() &&
                       journalPath.compare(journalPath.size() - extension.size(), extension.size(), extension) == 0;
    return (named ? journalPath.substr(0, journalPath.size() - extension.size()) : journalPath) + L".snapshot";
}

std::optional<Snapshot> readSnapshot(const std::wstring& path)
{
    const std::optional<std::string> bytes = wholeFile(path);
    if (!bytes || bytes->compare(0, sizeof magic - 1, magic) != 0) {
        return std::nullopt;
    }
    ByteReader in(std::string_view(*bytes).substr(sizeof magic - 1));
    Snapshot snapshot;
    snapshot.journalBytes = in.u64();
    snapshot.lines = in.i64();
    snapshot.lastSeq = in.i64();
    const std::uint64_t damaged = in.u64();
    for (std::uint64_t index = 0; in.ok() && index < damaged; ++index) {
        snapshot.damaged.push_back(in.i64());
    }
    if (!in.ok()) {
        return std::nullopt;
    }
    snapshot.state = std::string(in.rest());
    return snapshot;
}

bool writeSnapshotFile(const std::wstring& path, const Snapshot& snapshot)
{
    ByteWriter out;
    out.bytes() = magic;
    out.u64(snapshot.journalBytes);
    out.i64(snapshot.lines);
    out.i64(snapshot.lastSeq);
    out.u64(snapshot.damaged.size());
    for (const std::int64_t line : snapshot.damaged) {
        out.i64(line);
    }
    out.bytes() += snapshot.state;
    return zelvo_common::replaceFile(path, out.bytes());
}

}  // namespace zelvo_host
