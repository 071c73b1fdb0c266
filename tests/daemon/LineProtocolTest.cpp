// SPDX-License-Identifier: GPL-3.0-or-later
// What the shared line knows of frames: their ends, their replies, events.
#include <gtest/gtest.h>

#include "LineProtocol.h"
#include "xandrel/device/ModelCatalog.h"

namespace {

using namespace quellixd;

QByteArray Frame(const xandrel::ModelSpec& model, uint8_t code, QByteArray payload = {})
{
    QByteArray frame(1, static_cast<char>(8 + payload.size()));
    for (uint8_t byte : model.header)
        frame.append(static_cast<char>(byte));
    frame.append(static_cast<char>(255));
    frame.append(static_cast<char>(code));
    frame.append(payload);
    frame.append('\0');  // the checksum is the device's business
    return frame;
}

TEST(LineProtocol, ReplyFollowsCommandAndModel)
{
    const auto& hdmi8 = *xandrel::FindModelByAnyName("8x8");
    const auto& vga = *xandrel::FindModelByAnyName("vga-5x5");
    struct Case {
        const xandrel::ModelSpec& model;
        QByteArray frame;
        int body;
        bool later;
    };
    const Case cases[] = {
        {hdmi8, Frame(hdmi8, 0x01), 10, false},
        {vga, Frame(vga, 0x01), 7, false},
        {hdmi8, Frame(hdmi8, 0x02, QByteArray(8, 1)), 16, false},
        {vga, Frame(vga, 0x02, QByteArray(5, 1)), 0, false},
        {hdmi8, Frame(hdmi8, 0x03), 10, false},
        {hdmi8, Frame(hdmi8, 0x04), 3, false},
        {hdmi8, Frame(hdmi8, 0x05, "\x01"), 0, false},
        {hdmi8, Frame(hdmi8, 0x16, QByteArray::fromHex("030901")), 1, true},
        {hdmi8, Frame(hdmi8, 0x17, QByteArray::fromHex("A5FF01")), 256, true},
        {hdmi8, Frame(hdmi8, 0x17, QByteArray::fromHex("A50801")), 8, false},
        {hdmi8, Frame(hdmi8, 0x18, QByteArray(11, 0)), 1, false},
        {hdmi8, Frame(hdmi8, 0x7E), 0, false},
    };
    for (const Case& c : cases) {
        const ExpectedReply reply = ReplyTo(c.model, c.frame);
        EXPECT_EQ(reply.bodyBytes, c.body) << c.frame.toHex(' ').toStdString();
        EXPECT_EQ(reply.bodyLater, c.later) << c.frame.toHex(' ').toStdString();
    }
}

TEST(LineProtocol, AssemblerCutsFramesAndDropsStrayBytes)
{
    const auto& model = *xandrel::FindModelByAnyName("8x8");
    const QByteArray first = Frame(model, 0x01), second = Frame(model, 0x02, QByteArray(8, 3));
    FrameAssembler frames;
    EXPECT_TRUE(frames.take("\x03" + first.left(5)).empty());
    EXPECT_TRUE(frames.partial());
    const auto taken = frames.take(first.mid(5) + second);
    ASSERT_EQ(taken.size(), 2u);
    EXPECT_EQ(taken[0], first);
    EXPECT_EQ(taken[1], second);
    EXPECT_EQ(frames.droppedBytes(), 1);
    frames.take(first.left(3));
    EXPECT_EQ(frames.dropPartial(), 3);
    EXPECT_EQ(frames.take(first).size(), 1u);
}

TEST(LineProtocol, EventsOfTheModelOnly)
{
    const auto& model = *xandrel::FindModelByAnyName("8x8");
    const auto event = [&](uint8_t type, QByteArray entries, const xandrel::ModelSpec& of) {
        QByteArray message = Frame(of, type, entries);
        message[5] = 4;
        return message;
    };
    const auto routing = ParseEvent(model, event(1, QByteArray::fromHex("0102030405060708"), model));
    ASSERT_TRUE(routing);
    EXPECT_EQ(routing->type, 1);
    EXPECT_EQ(routing->entries, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_TRUE(ParseEvent(model, event(2, QByteArray::fromHex("0100010001000100"), model)));
    EXPECT_FALSE(ParseEvent(model, event(2, QByteArray::fromHex("0200010001000100"), model)));  // a signal is 0 or 1
    EXPECT_FALSE(ParseEvent(model, event(1, QByteArray::fromHex("0102030405060709"), model)));  // no input 9
    EXPECT_FALSE(ParseEvent(model, event(1, QByteArray::fromHex("010203"), model)));            // too few outputs
    EXPECT_FALSE(ParseEvent(model, event(3, QByteArray(8, 1), model)));
    EXPECT_FALSE(ParseEvent(model, event(1, QByteArray(8, 1), *xandrel::FindModelByAnyName("vga-5x5"))));
}

}  // namespace
