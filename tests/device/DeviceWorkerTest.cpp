// SPDX-License-Identifier: GPL-3.0-or-later
// The device worker: exchanges in order on a thread of their own, stops that
// reach only what was asked for, and the event poll that gives way to a
// waiting command, in virtual time against a scripted line.
#include <gtest/gtest.h>

#include <future>

#include "Frames.h"
#include "ScriptedPort.h"
#include "tavrik/INFOPORTDRIVER.h"
#include "xandrel/device/DeviceWorker.h"
#include "xandrel/device/MatrixModels.h"

using namespace testsupport;

namespace {

class DeviceWorker : public ::testing::Test {
protected:
    void SetUp() override
    {
        model.DEVMA_SetPortDriver(&driver);
        ASSERT_EQ(driver.RS232_OpenPort(3, 9600), 1);
    }

    // Holds the worker until release(), so that what is posted meanwhile
    // waits behind the running exchange.
    void hold()
    {
        held = std::make_shared<std::promise<void>>();
        worker.post([future = held->get_future().share()] { future.wait(); });
    }
    void release() { held->set_value(); }

    // Waits until every exchange posted so far has run.
    void drain()
    {
        std::promise<void> done;
        worker.post([&done] { done.set_value(); });
        done.get_future().wait();
    }

    VirtualClock clock;
    ScriptedPorts ports{clock};
    std::shared_ptr<ScriptedLine> line = ports.device(3);
    INFOPORTDRIVER driver;
    INFOHDMIMATRIX0001_8_8 model;
    xandrel::DeviceWorker worker{model};
    std::shared_ptr<std::promise<void>> held;
};

TEST_F(DeviceWorker, PollGivesWayToAWaitingCommandButFinishesAMessageItHasBegun)
{
    int polled = -1;
    std::vector<std::string> order;
    hold();
    worker.post([&] {
        polled = worker.pollEventMessage();
        order.push_back("poll");
    });
    worker.post([&] { order.push_back("command"); });
    release();
    drain();
    EXPECT_EQ(polled, 0);
    EXPECT_EQ(order, (std::vector<std::string>{"poll", "command"}));
    EXPECT_EQ(std::count(clock.waits().begin(), clock.waits().end(), 50u), 0)
        << "no 50 ms pause between tries: the poll gave way after its first, empty try";

    // A message whose length byte is there is read to its end, waiting command or not.
    model.m_DeviceID = 0;
    line->arrive(EventMessage(model, 1, {2, 2, 2, 2, 2, 2, 2, 2}));
    hold();
    worker.post([&] { polled = worker.pollEventMessage(); });
    worker.post([] {});
    release();
    drain();
    EXPECT_EQ(polled, 1);
    EXPECT_EQ(model.m_VideoOutputChannel[7], 2);
}

TEST_F(DeviceWorker, StopReachesTheExchangesPostedBeforeItOnly)
{
    std::vector<bool> stops;
    hold();
    worker.post([&] { stops.push_back(worker.stopRequested()); });
    worker.requestStop();
    worker.post([&] { stops.push_back(worker.stopRequested()); });
    release();
    drain();
    EXPECT_EQ(stops, (std::vector<bool>{true, false}));

    bool finished = true;
    hold();
    worker.post([&] { finished = worker.pauseUnlessStopped(20000); });
    worker.requestStop();
    release();
    drain();
    EXPECT_FALSE(finished);
    EXPECT_LE(std::count(clock.waits().begin(), clock.waits().end(), 50u), 1) << "a stopped pause ends at once";

    // A read of a silent device, 15 tries 300 ms apart, ends at the stop.
    driver.m_ReadTimes = 15;
    driver.m_ReadInterval = 300;
    int read = -1;
    hold();
    worker.post([&] {
        worker.letStopEndReads(true);
        uint8_t byte = 0;
        read = driver.RS232_ReadBuf(&byte, 1);
        worker.letStopEndReads(false);
    });
    worker.requestStop();
    release();
    drain();
    EXPECT_EQ(read, 0);
    EXPECT_EQ(std::count(clock.waits().begin(), clock.waits().end(), 300u), 0);
}

}  // namespace
