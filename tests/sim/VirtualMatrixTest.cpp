// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated device's protocol: which frames it accepts, what it answers,
// and what its front panel sends.
#include <gtest/gtest.h>

#include "Frames.h"
#include "VirtualMatrix.h"
#include "xandrel/device/MatrixModels.h"

using namespace quellix::sim;
using testsupport::CommandFrame;

namespace {

Bytes AnswerTo(VirtualMatrix& device, const Bytes& frame)
{
    const auto received = device.receive(frame);
    if (received.size() != 1 || !received[0].answer)
        return {};
    return received[0].answer->now;
}

struct ReplyCase {
    const char* model;
    uint8_t code;
    std::vector<uint8_t> payload;
    size_t answerLength;  // AA and the body
};

class VirtualMatrixReplies : public ::testing::TestWithParam<ReplyCase> { };

TEST_P(VirtualMatrixReplies, AnswerWithAcknowledgementAndTheBodyTheCommandFixes)
{
    const ReplyCase& c = GetParam();
    const xandrel::ModelSpec& spec = *xandrel::FindModel(c.model);
    VirtualMatrix device(spec, 7);
    auto model = xandrel::CreateModel(spec);
    model->m_DeviceID = 7;
    const Bytes answer = AnswerTo(device, CommandFrame(*model, c.code, c.payload, 7));
    ASSERT_EQ(answer.size(), c.answerLength);
    EXPECT_EQ(answer[0], 0xAA);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, VirtualMatrixReplies,
    ::testing::Values(ReplyCase{"INFOHDMIMATRIX0001_8_8", 0x01, {}, 1 + 10},
                      ReplyCase{"INFOHDMIMATRIX0001_8_4", 0x01, {}, 1 + 6},
                      ReplyCase{"INFOVGAMATRIX_5_5", 0x03, {}, 1 + 7}, ReplyCase{"INFOSDISWITCH_8_2", 0x04, {}, 1 + 3},
                      ReplyCase{"INFOHDMIMATRIX0001_8_8", 0x02, {2, 2, 2, 2, 2, 2, 2, 2}, 1 + 16},
                      ReplyCase{"INFOHDMIMATRIX0001_4_8", 0x02, {2, 2, 2, 2, 2, 2, 2, 2}, 1 + 16},
                      ReplyCase{"INFOHDMIMATRIX0001_4_4", 0x02, {2, 2, 2, 2}, 1},
                      ReplyCase{"INFOVGASWITCH_4", 0x05, {9}, 1},
                      ReplyCase{"INFOHDMIMATRIX0001_8_8", 0x17, {0xA5, 0x08, 3}, 1 + 8},
                      ReplyCase{"INFOHDMIMATRIX0001_8_8", 0x17, {0xA1, 0xFF, 11}, 1},
                      ReplyCase{"INFOHDMIMATRIX0001_8_8", 0x16, {4, 0xA5, 10}, 1},
                      ReplyCase{"INFOHDMIMATRIX0001_8_8", 0x18, {0xA6, 0, 1, 2, 3, 4, 5, 6, 7, 0, 5}, 2}));

class VirtualMatrixFrames : public ::testing::Test {
protected:
    INFOHDMIMATRIX0001_8_8 model;
    VirtualMatrix device{*xandrel::FindModel("INFOHDMIMATRIX0001_8_8"), 3};
};

TEST_F(VirtualMatrixFrames, OnlyWellFormedFramesForThisDeviceAreAnswered)
{
    Bytes badChecksum = CommandFrame(model, 0x01, {}, 3);
    badChecksum.back() ^= 1;
    INFOVGAMATRIX_5_5 otherModel;
    const Bytes rejected[] = {badChecksum, CommandFrame(model, 0x01, {}, 4), CommandFrame(otherModel, 0x01, {}, 3),
                              Bytes{0x07, 0x4B, 0x58, 0x73, 0x88, 0x03, 0x01}, CommandFrame(model, 0x42, {}, 3)};
    for (const Bytes& frame : rejected) {
        for (const Received& received : device.receive(frame))
            EXPECT_FALSE(received.answer) << received.note;
    }
    EXPECT_FALSE(AnswerTo(device, CommandFrame(model, 0x01, {}, 255)).empty()) << "255 reaches any device";
    EXPECT_FALSE(AnswerTo(device, CommandFrame(model, 0x01, {}, 3)).empty());
}

TEST_F(VirtualMatrixFrames, ValidFrameBehindNoiseOrInPiecesIsStillFound)
{
    Bytes noisy{0x00, 0x55, 0x4B};
    const Bytes frame = CommandFrame(model, 0x04, {}, 3);
    noisy.insert(noisy.end(), frame.begin(), frame.end());
    const auto received = device.receive(noisy);
    ASSERT_FALSE(received.empty());
    EXPECT_TRUE(received.back().answer);

    EXPECT_TRUE(device.receive(Bytes(frame.begin(), frame.begin() + 3)).empty());
    const auto rest = device.receive(Bytes(frame.begin() + 3, frame.end()));
    ASSERT_EQ(rest.size(), 1u);
    EXPECT_TRUE(rest[0].answer);

    device.receive(Bytes(frame.begin(), frame.begin() + 3));
    const auto afterPause = device.receive(frame, std::chrono::milliseconds(500));
    ASSERT_EQ(afterPause.size(), 2u) << "the abandoned start is dropped, the new frame answered";
    EXPECT_TRUE(afterPause[1].answer);
}

TEST_F(VirtualMatrixFrames, WritesChangeTheDeviceAndFrontPanelChangesAreAnnounced)
{
    AnswerTo(device, CommandFrame(model, 0x02, {2, 9, 3, 0, 8, 1, 1, 1}, 3));
    EXPECT_EQ(device.routing(), (Bytes{2, 1, 3, 1, 8, 1, 1, 1})) << "entries outside 1..8 change nothing";
    AnswerTo(device, CommandFrame(model, 0x05, {12}, 3));
    EXPECT_EQ(device.deviceId(), 12);

    const Bytes routingEvent = device.frontPanelRoute(2, 6);
    EXPECT_EQ(routingEvent, testsupport::WithChecksum({16, 0x4B, 0x58, 0x73, 0x88, 12, 1, 2, 6, 3, 1, 8, 1, 1, 1}));
    const Bytes signalEvent = device.frontPanelSignal(4, true);
    EXPECT_EQ(signalEvent[6], 2);
    EXPECT_EQ(signalEvent[7 + 3], 1);
    EXPECT_TRUE(device.frontPanelRoute(9, 1).empty());
    EXPECT_TRUE(device.frontPanelSignal(0, true).empty());
}

TEST_F(VirtualMatrixFrames, EdidsMoveBetweenPortsAndSlots)
{
    device.outputEdid(2)[8] = 0x11;
    const auto copy = device.receive(CommandFrame(model, 0x16, {1, 9, 2}, 3));
    ASSERT_TRUE(copy[0].answer);
    ASSERT_EQ(copy[0].answer->later.size(), 1u);
    EXPECT_EQ(copy[0].answer->later[0].second, Bytes{0xB6});
    EXPECT_EQ(device.slotEdid(9)[8], 0x11);

    EXPECT_EQ(AnswerTo(device, CommandFrame(model, 0x16, {3, 9, 1}, 3)), (Bytes{0xAA, 0x00}))
        << "an input cannot be copied to the scratch slot";

    const auto read = device.receive(CommandFrame(model, 0x17, {0xA1, 0xFF, 9}, 3));
    ASSERT_EQ(read[0].answer->later.size(), 1u);
    EXPECT_EQ(read[0].answer->later[0].second.size(), 256u);
    EXPECT_EQ(read[0].answer->later[0].second[8], 0x11);

    EXPECT_EQ(AnswerTo(device, CommandFrame(model, 0x18, {0xA6, 1, 2, 3, 4, 5, 6, 7, 8, 0xF8, 5}, 3)),
              (Bytes{0xAA, 0xB6}));
    EXPECT_EQ(device.inputEdid(5)[0xF8], 1);
    EXPECT_EQ(device.inputEdid(5)[0xFF], 8);

    const Bytes probe = AnswerTo(device, CommandFrame(model, 0x17, {0xA5, 0x08, 5}, 3));
    EXPECT_EQ(probe[2], device.inputEdid(5)[8]);
    EXPECT_EQ(probe[5], device.inputEdid(5)[11]);
    EXPECT_TRUE(AnswerTo(device, CommandFrame(model, 0x17, {0xA5, 0x08, 9}, 3)).empty()) << "no input 9";
}

TEST(DefaultEdid, IsASoundEdid)
{
    const Edid edid = MakeDefaultEdid(0x1234);
    EXPECT_EQ(edid[0], 0x00);
    EXPECT_EQ(edid[1], 0xFF);
    EXPECT_EQ(edid[10], 0x34);
    unsigned sum = 0;
    for (int i = 0; i < 128; ++i)
        sum += edid[i];
    EXPECT_EQ(sum % 256, 0u);
}

}  // namespace
