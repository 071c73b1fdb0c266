// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/custom/StringTableFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <system_error>

#include "xandrel/custom/AtomicFile.h"
#include "xandrel/custom/Utf8Boundary.h"

namespace xandrel {
namespace {

using S = StringSection;

// By StringSection, in file order.
constexpr std::array<StringSectionInfo, kStringSectionCount> kSections = {{
    {"__toolbar", 7, 28},
    {"__errormsg", 6, 98},
    {"__title", 3, 98},
    {"__input", 8, 28},
    {"__output", 8, 28},
}};

constexpr StringSectionRead kMatrixFrameReads[] = {{S::Titles, 48, 98, 3}};
constexpr StringSectionRead kMatrixViewReads[] = {{S::Inputs, 48, 48, 8}, {S::Outputs, 48, 48, 8}};
constexpr StringSectionRead kToolbarReads[] = {{S::Toolbar, 48, 48, 7}};
constexpr StringSectionRead kGuiConfigReads[] = {
    {S::Toolbar, 28, 48, 7}, {S::ErrorMessages, 98, 98, 6}, {S::Titles, 98, 98, 3},
    {S::Inputs, 28, 48, 8},  {S::Outputs, 28, 48, 8},
};
constexpr StringSectionRead kStringTableEditorReads[] = {
    {S::Titles, 28, 98, 1},
    {S::Inputs, 28, 48, 8},
    {S::Outputs, 28, 48, 8},
};

// By StringTableReader.
constexpr std::array<StringTableReaderPreset, kStringTableReaderCount> kReaders = {{
    {"matrix frame", kMatrixFrameReads},
    {"matrix view", kMatrixViewReads},
    {"toolbar", kToolbarReads},
    {"GUI Config", kGuiConfigReads},
    {"String Table", kStringTableEditorReads},
}};

// A string table holds a few kilobytes; reading stops here so that a huge or
// endless file (a device node, say) cannot exhaust memory.
constexpr size_t kReadLimit = 16u << 20;

StringTable MakeDefaults()
{
    StringTable table{
        {"Setting", "Scan", "Linkage", "Open", "Close", "Mapping", "Fast Select"},
        {
            "NO.1:Com Port is already occupied.",
            "NO.2:Com Port is active.",
            "NO.3:Com Port is not accessible.",
            "NO.4:Com Port is not ready.",
            "NO.5:Com Port is not controlable.",
            "NO.6:Com Port does not receive feedback from the device.",
        },
        {"Matrix Control Panel", "Setting", "Serial Port Scan"},
        {},
        {},
    };
    for (size_t k = 0; k < table.inputs.size(); ++k) {
        table.inputs[k] = "input " + std::to_string(k + 1);
        table.outputs[k] = "output " + std::to_string(k + 1);
    }
    return table;
}

// Splits the file into lines of at most a given number of bytes each.
class LineReader {
public:
    explicit LineReader(std::string_view bytes)
        : rest_(bytes)
    {
    }

    // The next line, up to and including its LF, of at most `limit` bytes;
    // nothing once the bytes are used up. A cut never splits a character.
    // A line that fills the limit exactly keeps its own line end, so that the
    // line end does not come back as an empty line of its own.
    std::optional<std::string_view> Next(size_t limit)
    {
        if (rest_.empty())
            return std::nullopt;
        limit = std::max<size_t>(limit, 1);
        size_t length = rest_.substr(0, limit).find('\n');
        if (length != std::string_view::npos) {
            ++length;
        } else if (rest_.size() <= limit) {
            length = rest_.size();
        } else {
            length = Utf8PrefixLength(rest_, limit);
            if (length == 0)
                length = limit;
            const std::string_view after = rest_.substr(length);
            if (after.starts_with('\n'))
                length += 1;
            else if (after.starts_with("\r\n"))
                length += 2;
        }
        const std::string_view line = rest_.substr(0, length);
        rest_.remove_prefix(length);
        return line;
    }

private:
    std::string_view rest_;
};

// A line's text ends at its first zero byte, as every text of the system does.
std::string_view TextOf(std::string_view line)
{
    return line.substr(0, line.find('\0'));
}

// Drops the line end: a CR or LF second-last cuts the entry there, then a
// CR or LF left last goes.
std::string_view WithoutLineEnd(std::string_view entry)
{
    const auto lineBreak = [](char c) { return c == '\r' || c == '\n'; };
    if (entry.size() >= 2 && lineBreak(entry[entry.size() - 2]))
        entry.remove_suffix(2);
    if (!entry.empty() && lineBreak(entry.back()))
        entry.remove_suffix(1);
    return entry;
}

// Reads lines until one holds the marker anywhere; false at the end of the bytes.
bool FindMarker(LineReader& lines, const StringSectionRead& read)
{
    const std::string_view marker = kSections[static_cast<size_t>(read.section)].marker;
    while (const auto line = lines.Next(read.markerScanLimit))
        if (TextOf(*line).find(marker) != std::string_view::npos)
            return true;
    return false;
}

// What the writer keeps of an entry: the text before any LF or zero byte
// (either would end or hide the rest of the line and shift every later
// entry), cut on a character boundary, without the CRs at its end (a reader
// takes them for the line end).
std::string_view StoredEntry(std::string_view entry, size_t longest)
{
    entry = entry.substr(0, entry.find_first_of(std::string_view("\n\0", 2)));
    entry = entry.substr(0, Utf8PrefixLength(entry, longest));
    while (entry.ends_with('\r'))
        entry.remove_suffix(1);
    return entry;
}

}  // namespace

const StringSectionInfo& SectionInfo(StringSection section)
{
    return kSections[static_cast<size_t>(section)];
}

const StringTable& DefaultStringTable()
{
    static const StringTable defaults = MakeDefaults();
    return defaults;
}

const StringTableReaderPreset& ReaderPreset(StringTableReader reader)
{
    return kReaders[static_cast<size_t>(reader)];
}

void ReadStringTable(std::string_view bytes, const StringTableReaderPreset& preset, StringTable& table)
{
    LineReader lines(bytes);
    for (const StringSectionRead& read : preset.reads) {
        if (!FindMarker(lines, read))
            return;
        const std::span<std::string> targets = table.Entries(read.section);
        for (size_t k = 0; k < std::min(read.entries, targets.size()); ++k) {
            const auto line = lines.Next(read.entryLimit);
            if (!line)
                return;
            targets[k] = WithoutLineEnd(TextOf(*line));
        }
    }
}

void ReadStringTable(std::string_view bytes, StringTableReader reader, StringTable& table)
{
    ReadStringTable(bytes, ReaderPreset(reader), table);
}

bool ReadStringTableFile(StringTableReader reader, StringTable& table, std::string_view folder, std::string* error)
{
    const std::string path = DataFilePath(DataFile::StringTable, folder);
    std::string bytes;
    std::string reason;
    if (!ReadFileBytes(path, bytes, reason, kReadLimit)) {
        std::error_code status;
        if (error && std::filesystem::exists(path, status))
            *error = reason;
        return false;
    }
    ReadStringTable(bytes, reader, table);
    return true;
}

std::string FormatStringTable(const StringTable& table)
{
    std::string bytes;
    for (size_t s = 0; s < kStringSectionCount; ++s) {
        const StringSectionInfo& info = kSections[s];
        bytes.append(info.marker).append("\r\n");
        for (const std::string& entry : table.Entries(static_cast<StringSection>(s)))
            bytes.append(StoredEntry(entry, info.longestStored)).append("\r\n");
        bytes.append("__end\r\n");
    }
    return bytes;
}

bool WriteStringTableFile(const StringTable& table, std::string& error, std::string_view folder)
{
    const std::string path = DataFilePath(DataFile::StringTable, folder);
    // Replacing the file by renaming would get past a read-only ds.dat, so an
    // existing file must first prove writable. Opening it to append changes
    // nothing in it.
    std::error_code status;
    if (std::filesystem::exists(path, status)) {
        std::FILE* writable = std::fopen(path.c_str(), "ab");
        if (!writable) {
            error = "Cannot save " + path + ": " + std::strerror(errno) + ".";
            return false;
        }
        std::fclose(writable);
    }
    return WriteFileAtomically(path, FormatStringTable(table), error);
}

}  // namespace xandrel
