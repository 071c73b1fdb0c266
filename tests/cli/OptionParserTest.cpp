// SPDX-License-Identifier: GPL-3.0-or-later
// The command line's option parser: the forms people type, and the mistakes
// it must name rather than guess at.
#include <gtest/gtest.h>

#include "../../tools/cli/OptionParser.h"

namespace {

using quellix::cli::OptionParser;

OptionParser Parser()
{
    OptionParser parser;
    parser.add({{{"p", "port"}, "port", "P"}, {{"j", "json"}, "json", ""}, {{"h", "help"}, "help", ""}});
    return parser;
}

TEST(OptionParser, ReadsEveryFormAValueComesIn)
{
    for (const std::vector<std::string>& line : std::vector<std::vector<std::string>>{{"cli", "--port", "/dev/x", "id"},
                                                                                      {"cli", "--port=/dev/x", "id"},
                                                                                      {"cli", "-p", "/dev/x", "id"},
                                                                                      {"cli", "-p/dev/x", "id"},
                                                                                      {"cli", "-p=/dev/x", "id"},
                                                                                      {"cli", "id", "-jp", "/dev/x"}}) {
        OptionParser parser = Parser();
        EXPECT_TRUE(parser.parse(line)) << line[1];
        EXPECT_EQ(parser.value("port"), "/dev/x") << line[1];
        EXPECT_EQ(parser.positionalArguments(), std::vector<std::string>{"id"}) << line[1];
    }
    OptionParser parser = Parser();
    ASSERT_TRUE(parser.parse({"cli", "-jh", "--port", "a", "--port", "b", "--", "--json", "-"}));
    EXPECT_TRUE(parser.isSet("json") && parser.isSet("h"));
    EXPECT_EQ(parser.value("p"), "b");  // the last one given
    EXPECT_EQ(parser.positionalArguments(), (std::vector<std::string>{"--json", "-"}));
    EXPECT_FALSE(parser.isSet("version"));
}

TEST(OptionParser, NamesMistakesAndKeepsWhatItCouldRead)
{
    OptionParser parser = Parser();
    EXPECT_FALSE(parser.parse({"cli", "--deep", "-x", "id", "--json"}));
    EXPECT_EQ(parser.unknownOptionNames(), (std::vector<std::string>{"deep", "x"}));
    EXPECT_TRUE(parser.isSet("json"));
    EXPECT_EQ(parser.positionalArguments(), std::vector<std::string>{"id"});

    EXPECT_FALSE(parser.parse({"cli", "id", "--port"}));
    EXPECT_EQ(parser.errorText(), "Missing value after '--port'.");
    EXPECT_FALSE(parser.parse({"cli", "id", "-jp"}));
    EXPECT_EQ(parser.errorText(), "Missing value after '-jp'.");
    EXPECT_FALSE(parser.parse({"cli", "--json=yes"}));
    EXPECT_EQ(parser.errorText(), "Unexpected value after '--json'.");
    EXPECT_FALSE(parser.parse({"cli", "-j=yes"}));
    EXPECT_EQ(parser.errorText(), "Unexpected value after '-j'.");
}

}  // namespace
