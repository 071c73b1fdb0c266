// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The windows run their device commands on the devices' worker threads: a
// test that clicks waits for the exchanges to end before it looks.
#include <gtest/gtest.h>

#include <QTest>

#include "xandrel/gui/DeviceExchanges.h"

namespace testsupport {

inline void FinishExchanges(int timeoutMs = 10000)
{
    EXPECT_TRUE(QTest::qWaitFor([] { return xandrel::gui::DeviceExchanges::AllIdle(); }, timeoutMs))
        << "an exchange did not end";
}

}  // namespace testsupport
