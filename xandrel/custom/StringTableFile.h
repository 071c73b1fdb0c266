// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The GUI string table ds.dat: toolbar captions, serial-port error texts,
// window titles and the names of inputs and outputs.
//
// The file is five sections, each a marker line, a fixed number of entry
// lines and a line "__end", every line ended by CR LF. Readers are lenient
// and each reads only the sections it needs, with its own line limits (see
// StringTableReader); the writer always writes the whole file.
#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "xandrel/XandrelExport.h"
#include "xandrel/custom/DataFolder.h"

namespace xandrel {

// The sections in the order the writer puts them.
enum class StringSection {
    Toolbar,
    ErrorMessages,
    Titles,
    Inputs,
    Outputs
};
inline constexpr size_t kStringSectionCount = 5;

struct StringSectionInfo {
    const char* marker;    // "__toolbar", ...
    size_t entries;        // entry lines in the section
    size_t longestStored;  // bytes the writer keeps of an entry
};
XANDREL_EXPORT const StringSectionInfo& SectionInfo(StringSection section);

// Every entry of the file. Titles: matrix window, Setting dialog, port scan
// dialog. Toolbar: the captions of buttons 1 to 7.
struct StringTable {
    std::array<std::string, 7> toolbar;
    std::array<std::string, 6> errorMessages;
    std::array<std::string, 3> titles;
    std::array<std::string, 8> inputs;
    std::array<std::string, 8> outputs;

    std::span<std::string> Entries(StringSection section)
    {
        switch (section) {
        case StringSection::Toolbar: return toolbar;
        case StringSection::ErrorMessages: return errorMessages;
        case StringSection::Titles: return titles;
        case StringSection::Inputs: return inputs;
        case StringSection::Outputs: return outputs;
        }
        return {};
    }
    std::span<const std::string> Entries(StringSection section) const
    {
        return const_cast<StringTable*>(this)->Entries(section);
    }
};

// The built-in texts: "Setting" ... "Fast Select", the six error texts,
// "Matrix Control Panel", "Setting", "Serial Port Scan", "input 1" ...
// "input 8" and "output 1" ... "output 8".
XANDREL_EXPORT const StringTable& DefaultStringTable();

// One section as a reader takes it. A line read takes bytes up to and
// including the next LF but never more than the limit; the rest of a longer
// line is read as the next line.
struct StringSectionRead {
    StringSection section;
    size_t markerScanLimit;  // line limit while looking for the marker
    size_t entryLimit;       // line limit for the entries
    size_t entries;          // entries taken, into the section's first targets
};

struct StringTableReaderPreset {
    const char* name;
    std::span<const StringSectionRead> reads;  // in reading order
};

// The windows that read ds.dat, each with its own sections and limits.
enum class StringTableReader {
    MatrixFrame,        // "__title": 3 titles
    MatrixView,         // "__input", then "__output"
    Toolbar,            // "__toolbar"
    GuiConfig,          // all five sections
    StringTableEditor,  // the main title, "__input", "__output"
};
inline constexpr size_t kStringTableReaderCount = 5;
XANDREL_EXPORT const StringTableReaderPreset& ReaderPreset(StringTableReader reader);

// Reads the sections of `preset` from the file's bytes into `table`. Only the
// entries found replace their targets: a section whose marker is missing
// (and every later one, the file being used up) and the entries after an
// early end of the file keep what `table` held.
XANDREL_EXPORT void ReadStringTable(std::string_view bytes, const StringTableReaderPreset& preset, StringTable& table);
XANDREL_EXPORT void ReadStringTable(std::string_view bytes, StringTableReader reader, StringTable& table);

// Reads ds.dat in `folder` as above. False, with `table` untouched, when the
// file cannot be opened or read; then `error`, when given, says which file
// and why, and stays empty when there is no ds.dat at all (the built-in
// texts apply: no fault).
XANDREL_EXPORT bool ReadStringTableFile(StringTableReader reader, StringTable& table,
                                        std::string_view folder = kDefaultDataFolder, std::string* error = nullptr);

// The whole file as the writer stores it: each entry ends at its first line
// break or zero byte and is cut to its section's longest stored length on a
// character boundary.
XANDREL_EXPORT std::string FormatStringTable(const StringTable& table);

// Replaces ds.dat in `folder` with FormatStringTable(table). The old file
// stays as it was when the folder is missing or the file cannot be written;
// then false with `error` saying which file and why.
XANDREL_EXPORT bool WriteStringTableFile(const StringTable& table, std::string& error,
                                         std::string_view folder = kDefaultDataFolder);

// What the editors tell the operator after a successful save.
inline constexpr char kSaveConfirmationText[] = "All setting will be effective after program restart!";
inline constexpr char kSaveConfirmationCaption[] = "Save String Table";

}  // namespace xandrel
