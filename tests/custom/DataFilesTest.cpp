// SPDX-License-Identifier: GPL-3.0-or-later
// The data files: reading ds.dat by each window's rules, writing it, failed
// saves, and the title file ti.dat.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

#include "xandrel/custom/AtomicFile.h"
#include "xandrel/custom/StringTableFile.h"
#include "xandrel/custom/TitleFile.h"

namespace {

namespace fs = std::filesystem;
using namespace xandrel;
using R = StringTableReader;
using S = StringSection;
using Names = std::vector<std::string>;

constexpr R kReaders[] = {R::MatrixFrame, R::MatrixView, R::Toolbar, R::GuiConfig, R::StringTableEditor};
constexpr S kSections[] = {S::Toolbar, S::ErrorMessages, S::Titles, S::Inputs, S::Outputs};

std::string Join(const Names& lines, const std::string& end = "\r\n")
{
    std::string text;
    for (const std::string& line : lines)
        text += line + end;
    return text;
}

Names Section(const StringTable& table, S section)
{
    const auto entries = table.Entries(section);
    return Names(entries.begin(), entries.end());
}

// Every entry distinct from the defaults: "<marker>:<k>".
StringTable Sample()
{
    StringTable table;
    for (S section : kSections) {
        auto entries = table.Entries(section);
        for (size_t k = 0; k < entries.size(); ++k)
            entries[k] = std::string(SectionInfo(section).marker) + ":" + std::to_string(k);
    }
    return table;
}

StringTable Read(R reader, const std::string& bytes)
{
    StringTable table = DefaultStringTable();
    ReadStringTable(bytes, reader, table);
    return table;
}

fs::path FreshFolder(const std::string& name)
{
    const fs::path folder = fs::path(::testing::TempDir()) / ("quellix_custom_" + name);
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

// The given input names, then the defaults of the inputs after them.
Names InputsThen(Names given)
{
    for (size_t k = given.size(); k < 8; ++k)
        given.push_back("input " + std::to_string(k + 1));
    return given;
}

TEST(StringTableFile, ReadingRules)
{
    const Names names = {"a", "b", "c", "d", "e", "f", "g", "h"};
    const std::string inputsOnly = Join({"__input"}) + Join(names);
    const std::string euro = "\xE2\x82\xAC", euros = euro + euro + euro + euro + euro;
    const struct {
        const char* name;
        R reader;
        std::string file;
        S section;
        Names expected;
    } cases[] = {
        {"only inputs: names", R::MatrixView, inputsOnly, S::Inputs, names},
        {"only inputs: outputs keep defaults", R::MatrixView, inputsOnly, S::Outputs,
         Section(DefaultStringTable(), S::Outputs)},
        {"LF alone ends a line", R::MatrixView, Join({"__input", "a", "b"}, "\n"), S::Inputs, InputsThen({"a", "b"})},
        {"outputs before inputs: inputs read", R::MatrixView, Join({"__output", "x"}) + inputsOnly, S::Inputs, names},
        {"outputs before inputs: the file is used up", R::MatrixView, Join({"__output", "x"}) + inputsOnly, S::Outputs,
         Section(DefaultStringTable(), S::Outputs)},
        {"file ends after the third entry", R::MatrixView, Join({"__input", "a", "b", "c"}), S::Inputs,
         InputsThen({"a", "b", "c"})},
        {"empty lines are empty names", R::MatrixView, Join({"__input", "", "b", "\r"}), S::Inputs,
         InputsThen({"", "b", ""})},
        {"CR alone ends no line", R::MatrixView, Join({"__input", "a", "b", "c"}, "\r"), S::Inputs, InputsThen({})},
        {"CR inside an entry stays", R::MatrixView, Join({"__input", "a\rb", "c\r"}), S::Inputs,
         InputsThen({"a\rb", "c"})},
        {"a zero byte ends the text", R::MatrixView, Join({"__input", std::string("ab\0cd", 5)}), S::Inputs,
         InputsThen({"ab"})},
        {"a caption holding a marker is taken for it",
         R::MatrixFrame,
         Join({"__toolbar", "my__title:", "x", "y", "z", "__end", "__title", "T"}),
         S::Titles,
         {"x", "y", "z"}},
        // 1 + 3 x 16 bytes: the 48-byte cut would split the 16th euro sign.
        {"UTF-8 cut falls back to the character start", R::MatrixView,
         Join({"__input", "a" + euros + euros + euros + euro}), S::Inputs,
         InputsThen({"a" + euros + euros + euros, euro})},
        {"no __end is looked for",
         R::Toolbar,
         Join({"__toolbar", "1", "2", "__end", "__end", "5", "6", "7"}),
         S::Toolbar,
         {"1", "2", "__end", "__end", "5", "6", "7"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Section(Read(c.reader, c.file), c.section), c.expected);
    }
}

// A line longer than the limit continues as the next entry; one that fills
// the limit exactly keeps its line end instead of yielding an empty entry.
TEST(StringTableFile, LongLinesContinueAsTheNextEntryAtEachReadersLimit)
{
    for (R reader : kReaders) {
        const StringTableReaderPreset& preset = ReaderPreset(reader);
        SCOPED_TRACE(preset.name);
        std::string file;
        std::vector<Names> expected;
        for (const StringSectionRead& read : preset.reads) {
            const std::string x(read.entryLimit, 'x'), y(read.entryLimit, 'y'), z(read.entryLimit - 1, 'z');
            // The marker line itself is longer than the scan limit.
            file += std::string(read.markerScanLimit, '-');
            file += Join({SectionInfo(read.section).marker, x + "xxxxx", y, z});
            expected.push_back({x, "xxxxx", y, z});
            while (expected.back().size() < read.entries) {
                file += "more\r\n";
                expected.back().push_back("more");
            }
        }
        const StringTable table = Read(reader, file);
        for (size_t r = 0; r < preset.reads.size(); ++r) {
            const StringSectionRead& read = preset.reads[r];
            const Names entries = Section(table, read.section);
            for (size_t k = 0; k < read.entries; ++k)
                EXPECT_EQ(entries[k], expected[r][k]) << SectionInfo(read.section).marker << " " << k;
        }
    }
}

TEST(StringTableFile, GarbageAndVeryLongLinesBeforeTheSections)
{
    std::mt19937 random(7);
    std::string garbage(1 << 20, '\0');
    std::generate(garbage.begin(), garbage.end(), [&] { return static_cast<char>(random() % 256); });
    std::replace(garbage.begin(), garbage.end(), '_', '.');  // no marker by chance
    const std::string sample = FormatStringTable(Sample());
    for (const std::string& prefix : {garbage + "\n", std::string(1 << 20, 'x') + "\n"})
        EXPECT_EQ(FormatStringTable(Read(R::GuiConfig, prefix + sample)), sample);
    EXPECT_EQ(FormatStringTable(Read(R::GuiConfig, garbage)), FormatStringTable(DefaultStringTable()));
}

TEST(StringTableFile, WriterStoresFortyTwoCrLfLinesCutToEachSectionsLimit)
{
    const std::string defaults = FormatStringTable(DefaultStringTable());
    EXPECT_TRUE(defaults.starts_with("__toolbar\r\nSetting\r\nScan\r\n") && defaults.ends_with("__end\r\n"));
    EXPECT_EQ(std::count(defaults.begin(), defaults.end(), '\n'), 42);
    EXPECT_EQ(std::count(defaults.begin(), defaults.end(), '\r'), 42);

    const std::string euro = "\xE2\x82\xAC";
    StringTable long_ = Sample();
    long_.toolbar[0] = std::string(40, 't');
    long_.inputs[0] = "ab" + euro + euro + euro + euro + euro + euro + euro + euro + euro;  // 29 bytes
    long_.inputs[1] = "two\nlines";
    long_.outputs[7] = std::string(27, 'o') + "\xC3\xA9";  // 29 bytes
    long_.titles[0] = std::string(98, 'm');
    long_.errorMessages[5] = std::string(120, 'e');
    const fs::path folder = FreshFolder("roundtrip");
    std::string error;
    ASSERT_TRUE(WriteStringTableFile(long_, error, folder.string())) << error;

    StringTable expected = long_;
    expected.toolbar[0].resize(28);
    expected.inputs[0].resize(26);
    expected.inputs[1] = "two";
    expected.outputs[7].resize(27);
    expected.errorMessages[5].resize(98);
    for (R reader : {R::GuiConfig, R::StringTableEditor}) {
        StringTable read;
        ASSERT_TRUE(ReadStringTableFile(reader, read, folder.string()));
        for (const StringSectionRead& step : ReaderPreset(reader).reads)
            for (size_t k = 0; k < step.entries; ++k)
                EXPECT_EQ(read.Entries(step.section)[k], expected.Entries(step.section)[k]);
    }
}

TEST(StringTableFile, FailedSaveKeepsTheOldFileAndSaysWhy)
{
    std::string error;
    StringTable unread = Sample();
    EXPECT_FALSE(ReadStringTableFile(R::GuiConfig, unread, (FreshFolder("none") / "data").string()));
    EXPECT_EQ(unread.toolbar, Sample().toolbar);
    EXPECT_FALSE(WriteStringTableFile(Sample(), error, (FreshFolder("none") / "data").string()));
    EXPECT_NE(error.find("ds.dat"), std::string::npos) << error;
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes read-only files and folders";

    const fs::path folder = FreshFolder("readonly");
    const std::string path = (folder / "ds.dat").string();
    const std::string old = "old";
    for (bool lockFolder : {false, true}) {
        ASSERT_TRUE(WriteFileAtomically(path, old, error));
        const fs::path locked = lockFolder ? folder : fs::path(path);
        fs::permissions(locked, fs::perms::owner_write, fs::perm_options::remove);
        error.clear();
        EXPECT_FALSE(WriteStringTableFile(Sample(), error, folder.string()));
        EXPECT_NE(error.find(path), std::string::npos) << error;
        fs::permissions(locked, fs::perms::owner_write, fs::perm_options::add);
        std::string kept;
        ASSERT_TRUE(ReadFileBytes(path, kept, error));
        EXPECT_EQ(kept, old);
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
    }
}

TEST(SafeWriter, KeepsPermissionsWritesThroughLinksAndRefusesWhatIsNoWritableFile)
{
    const fs::path folder = FreshFolder("writer");
    const std::string path = (folder / "ds.dat").string();
    std::string error;
    std::string bytes;
    ASSERT_TRUE(WriteFileAtomically(path, "one", error)) << error;
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_TRUE(WriteFileAtomically(path, "two", error)) << error;
    EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_read | fs::perms::owner_write) << "still 0600";

    const fs::path link = folder / "link.dat";
    fs::create_symlink("ds.dat", link);
    ASSERT_TRUE(WriteFileAtomically(link.string(), "three", error)) << error;
    EXPECT_TRUE(fs::is_symlink(link));
    ASSERT_TRUE(ReadFileBytes(path, bytes, error));
    EXPECT_EQ(bytes, "three");

    fs::permissions(path, fs::perms::owner_read);  // read-only, even for root
    EXPECT_FALSE(WriteFileAtomically(path, "four", error));
    EXPECT_NE(error.find("read-only"), std::string::npos) << error;
    const fs::path pipe = folder / "pipe.dat";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_FALSE(WriteFileAtomically(pipe.string(), "five", error));
    EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
    EXPECT_FALSE(ReadFileBytes(pipe.string(), bytes, error)) << "a pipe is not read (it would block)";
    EXPECT_FALSE(WriteFileAtomically(folder.string(), "six", error));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 3) << "no temporary file left";
}

TEST(TitleFile, TitleIsTheFirst255BytesUpToAZeroByte)
{
    const std::string euro = "\xE2\x82\xAC";
    const struct {
        std::string file;
        std::string title;
    } cases[] = {
        {"My Panel\r\n", "My Panel\r\n"},
        {std::string("ab\0cd", 5), "ab"},
        {"", ""},
        {std::string(300, 'x'), std::string(255, 'x')},
        {std::string(254, 'x') + euro, std::string(254, 'x')},
        {std::string(252, 'x') + euro + "y", std::string(252, 'x') + euro},
        {std::string(1 << 20, 'm'), std::string(255, 'm')},
    };
    const fs::path folder = FreshFolder("title");
    for (const auto& c : cases) {
        std::string error;
        ASSERT_TRUE(WriteFileAtomically(DataFilePath(DataFile::Title, folder.string()), c.file, error)) << error;
        EXPECT_EQ(ReadTitleFile(folder.string()), c.title) << c.file.substr(0, 20);
    }
    EXPECT_EQ(ReadTitleFile((folder / "missing").string()), "Matrix 8x8 Control Panel");
    // Endless "files" (a device) are not read: the defaults stand.
    if (fs::exists("/dev/zero")) {
        fs::remove(folder / "ti.dat");
        fs::create_symlink("/dev/zero", folder / "ti.dat");
        fs::create_symlink("/dev/zero", folder / "ds.dat");
        EXPECT_EQ(ReadTitleFile(folder.string()), "Matrix 8x8 Control Panel");
        StringTable table = DefaultStringTable();
        EXPECT_FALSE(ReadStringTableFile(R::GuiConfig, table, folder.string()));
        EXPECT_EQ(FormatStringTable(table), FormatStringTable(DefaultStringTable()));
    }
}

}  // namespace
