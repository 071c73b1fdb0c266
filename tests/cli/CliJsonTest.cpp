// SPDX-License-Identifier: GPL-3.0-or-later
// The command line's own JSON, timestamps and name matching against what
// Qt makes of the same values: the output must not change by a byte.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdlib>
#include <ctime>
#include <random>
#include <sstream>

#include "CliSupport.h"
#include "Json.h"

namespace {

using quellix::cli::JsonArray;
using quellix::cli::JsonObject;
using quellix::cli::JsonValue;

QString Qt(const std::string& bytes)
{
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string QtCompact(const QJsonValue& value)
{
    const QJsonDocument document = value.isArray() ? QJsonDocument(value.toArray()) : QJsonDocument(value.toObject());
    return document.toJson(QJsonDocument::Compact).toStdString();
}

// A value built twice, once of each kind.
struct Both {
    JsonValue ours;
    QJsonValue qt;
};

Both Str(const std::string& bytes)
{
    return {bytes, Qt(bytes)};
}

Both Int(qint64 number)
{
    return {number, number};
}

Both Arr(std::initializer_list<Both> items)
{
    JsonArray ours;
    QJsonArray qt;
    for (const Both& item : items) {
        ours.append(item.ours);
        qt.append(item.qt);
    }
    return {ours, qt};
}

Both Obj(std::initializer_list<std::pair<std::string, Both>> members)
{
    JsonObject ours;
    QJsonObject qt;
    for (const auto& [key, value] : members) {
        ours.insert(key, value.ours);
        qt.insert(Qt(key), value.qt);
    }
    return {ours, qt};
}

// Bytes that are mostly not UTF-8: lead bytes, continuation bytes, ASCII
// controls and quotes, and pieces of valid sequences.
std::string AwkwardBytes(std::mt19937& random)
{
    // Pieces separated by spaces.
    static const std::vector<std::string> pieces = [] {
        std::istringstream words(
            "a \" \\ \x01 \x1f \x7f \x80 \xbf \xc0 \xc1 \xc2 \xdf \xe0 \xed \xef \xf0 \xf4 \xf5 \xff "
            "\xc3\xa9 \xe2\x82\xac \xed\xa0\x80 \xef\xbf\xbd \xef\xbb\xbf \xf0\x9f\x98\x80 "
            "\xee\x80\x80 \xf4\x90\x80\x80 \xe0\x80\xaf \n \t");
        std::vector<std::string> split;
        for (std::string piece; std::getline(words, piece, ' ');)
            split.push_back(piece);
        return split;
    }();
    std::string bytes;
    for (int n = std::uniform_int_distribution<int>(0, 6)(random); n > 0; --n)
        bytes += pieces[std::uniform_int_distribution<size_t>(0, pieces.size() - 1)(random)];
    return bytes;
}

TEST(CliJson, WritesWhatQtWritesCompact)
{
    std::string controls;
    for (char c = 0; c < 0x20; ++c)
        controls += c;
    const std::vector<Both> documents = {
        Obj({{"zeta", Int(-1)},
             {"alpha", Obj({})},
             {"Beta", Arr({})},
             {"mid", Arr({Int(0), Int(-2147483648LL), Int(9007199254740993LL), Str("")})},
             {"nest",
              Obj({{"b", Arr({Arr({Obj({{"y", {nullptr, {}}}, {"x", {true, true}}})})})}, {"a", {false, false}}})},
             {"alpha", Str("replaced")}}),
        Arr({Str(controls),
             Str("\"quoted\" back\\slash /slash \x7f"),
             Str("caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"),
             Str(std::string("nul\0byte", 8)),
             Str("\xef\xbb\xbf"
                 "bom"),
             {nullptr, {}}}),
        Obj({{"\xf0\x9f\x98\x80", Int(1)}, {"\xee\x80\x80", Int(2)}, {"\xc3\xa9", Int(3)}, {"~", Int(4)}}),
    };
    for (const Both& document : documents)
        EXPECT_EQ(document.ours.toCompactJson(), QtCompact(document.qt));

    // Broken UTF-8 as values and as keys: one U+FFFD per byte Qt cannot
    // read, and keys that differ only in such bytes become one.
    std::mt19937 random(20240501);
    for (int round = 0; round < 400; ++round) {
        JsonObject ours;
        QJsonObject qt;
        for (int member = 0; member < 4; ++member) {
            const std::string key = AwkwardBytes(random), value = AwkwardBytes(random);
            ours.insert(key, value);
            qt.insert(Qt(key), Qt(value));
        }
        ASSERT_EQ(JsonValue(ours).toCompactJson(), QtCompact(qt));
    }
}

TEST(CliJson, TimestampsReadAsQtWritesThemInEveryZone)
{
    const char* const zones[] = {"UTC0", "CET-1CEST,M3.5.0,M10.5.0/3", "EST5EDT,M3.2.0,M11.1.0", "<+0530>-5:30",
                                 "<-0930>9:30"};
    const qint64 moments[] = {0, 1714564803250, 1704067199999, 1711846799005, 1730613600123};
    const char* const before = std::getenv("TZ");
    const std::string kept = before ? before : "";
    for (const char* zone : zones) {
        ::setenv("TZ", zone, 1);
        ::tzset();
        for (const qint64 ms : moments) {
            const QDateTime local = QDateTime::fromMSecsSinceEpoch(ms);
            const QDateTime offset = local.toOffsetFromUtc(local.offsetFromUtc());
            const std::chrono::system_clock::time_point when{std::chrono::milliseconds(ms)};
            EXPECT_EQ(quellix::cli::Timestamp(when, true), offset.toString(Qt::ISODateWithMs).toStdString()) << zone;
            EXPECT_EQ(quellix::cli::Timestamp(when, false), offset.toString(Qt::ISODate).toStdString()) << zone;
        }
    }
    before ? ::setenv("TZ", kept.c_str(), 1) : ::unsetenv("TZ");
    ::tzset();
}

std::string Utf8(char32_t c)
{
    return QString::fromUcs4(&c, 1).toStdString();
}

TEST(CliJson, NamesMatchLetterCaseAsideAsQtComparesThem)
{
    const auto same = [](const std::string& a, const std::string& b) {
        return Qt(a).compare(Qt(b), Qt::CaseInsensitive) == 0;
    };
    // Each letter of Latin-1, Latin Extended-A, Greek and Cyrillic against
    // its other cases and its neighbours.
    for (char32_t c = 1; c < 0x500; ++c) {
        if (c >= 0x180 && c < 0x370)
            continue;
        const QChar letter(static_cast<char16_t>(c));
        const char32_t others[] = {letter.toUpper().unicode(),
                                   letter.toLower().unicode(),
                                   letter.toCaseFolded().unicode(),
                                   c + 1,
                                   c + 32,
                                   c + 80};
        for (const char32_t other : others)
            ASSERT_EQ(quellix::cli::SameNameCaseAside(Utf8(c), Utf8(other)), same(Utf8(c), Utf8(other)))
                << std::hex << "U+" << uint32_t(c) << " and U+" << uint32_t(other);
    }
    EXPECT_TRUE(quellix::cli::SameNameCaseAside("Камера Ελλάδα café", "КАМЕРА ΕΛΛΆΔΑ CAFÉ"));
    EXPECT_FALSE(quellix::cli::SameNameCaseAside("Camera", "Camera 2"));
    std::mt19937 random(7);
    for (int round = 0; round < 400; ++round) {
        const std::string a = AwkwardBytes(random), b = AwkwardBytes(random);
        ASSERT_EQ(quellix::cli::SameNameCaseAside(a, b), same(a, b)) << a << " / " << b;
    }
}

}  // namespace
