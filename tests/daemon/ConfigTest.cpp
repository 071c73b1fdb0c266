// SPDX-License-Identifier: GPL-3.0-or-later
// The configuration file: what the daemon takes and what it refuses.
#include <gtest/gtest.h>

#include "Config.h"
#include "xandrel/device/ModelCatalog.h"

namespace {

using quellixd::DaemonConfig;

TEST(DaemonConfig, ExampleFileRunsWithDefaults)
{
    DaemonConfig config;
    QString error;
    ASSERT_TRUE(quellixd::LoadConfig(QUELLIX_SOURCE_DIR "/packaging/quellixd.conf.example", config, error))
        << error.toStdString();
    EXPECT_TRUE(config.listen.isLoopback());
    EXPECT_EQ(config.httpPort, 8470);
    ASSERT_EQ(config.devices.size(), 2u);
    EXPECT_EQ(config.devices[0].model, xandrel::FindModel("INFOHDMIMATRIX0001_8_8"));
    EXPECT_EQ(config.devices[0].id, 0);
    EXPECT_EQ(config.devices[1].id, 255);  // the model's own when absent
    EXPECT_EQ(config.devices[1].port, "tcp://192.168.1.50:4001");
}

TEST(DaemonConfig, RefusesWhatCannotRun)
{
    const auto device = [](const char* fields) {
        return QByteArray(R"({"devices": [{"name": "a", "port": "tcp://127.0.0.1:4001", "model": "8x8", )") + fields
            + "}]}";
    };
    struct Case {
        QByteArray text;
        const char* says;
    };
    const Case cases[] = {
        {"{", "not JSON"},
        {"[]", "not a JSON object"},
        {R"({"devices": []})", "at least one device"},
        {device(R"("line_port": 1, "colour": 2)"), "unknown key \"colour\""},
        {device(R"("line_port": 1, "model": "9x9")").replace(R"("model": "8x8", )", ""), "no known model"},
        {device(R"("line_port": 1, "id": 300)"), "\"id\" must be a whole number from 0 to 255"},
        {device(R"("id": 1)"), "\"line_port\" is missing"},
        {device(R"("line_port": 8470)"), "used twice"},
        {R"({"listen": "0.0.0.0", )" + device(R"("line_port": 1)").mid(1), "a \"token\" is required"},
        {R"({"listen": "nowhere", )" + device(R"("line_port": 1)").mid(1), "not an IP address"},
        {R"({"devices": [{"name": "a b", "port": "1", "model": "8x8", "line_port": 1}]})", "\"name\" must be"},
        {R"({"devices": [{"name": "a", "model": "8x8", "line_port": 1}]})", "\"port\" is missing"},
        {R"({"listen": "0.0.0.0", "token": "short", )" + device(R"("line_port": 1)").mid(1), "at least 16 characters"},
        {R"({"token": "a-token-of-16-chars", "token_file": "/x", )" + device(R"("line_port": 1)").mid(1), "not both"},
        {R"({"token_file": "/nonexistent/token", )" + device(R"("line_port": 1)").mid(1), "\"token_file\""},
        {R"({"devices": [{"name": "a", "port": "tcp://h:1", "model": "8x8", "line_port": 1},
                         {"name": "b", "port": "tcp://h:1", "model": "8x8", "line_port": 2}]})",
         "one owner per line"},
        {R"({"allowed_origins": "x", )" + device(R"("line_port": 1)").mid(1), "list of strings"},
    };
    for (const Case& c : cases) {
        DaemonConfig config;
        QString error;
        EXPECT_FALSE(quellixd::ParseConfig(c.text, config, error)) << c.text.toStdString();
        EXPECT_NE(error.indexOf(c.says), -1) << error.toStdString();
    }
    DaemonConfig config;
    QString error;
    EXPECT_TRUE(quellixd::ParseConfig(R"({"listen": "0.0.0.0", "token": "a-token-of-16-chars", )"
                                          + device(R"("line_port": 1)").mid(1),
                                      config, error))
        << error.toStdString();
}

}  // namespace
