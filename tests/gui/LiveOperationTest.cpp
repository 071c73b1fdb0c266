// SPDX-License-Identifier: GPL-3.0-or-later
// Safe live operation in the matrix window: routing shown as unknown until
// read, take mode, output locks, and the lamp of the line with the idle ID
// check.
#include "MatrixWindowFixture.h"

#include <QMenuBar>

using namespace guitest;

namespace {

using F = CMatrix0001Frame;
using LineState = CMatrixStatusBar::LineState;

class LiveOperation : public MatrixWindow {
protected:
    void settings(const char* json) { std::ofstream(dataFolder / "window.json", std::ios::trunc) << json; }

    size_t routingWrites() const
    {
        size_t writes = 0;
        for (const Bytes& frame : device->frames())
            writes += frame[6] == 0x02;
        return writes;
    }

    // Whether the View menu's Take Mode is checked.
    static bool TakeModeChecked(CMatrix0001Frame& frame)
    {
        for (QAction* action : frame.menuBar()->findChildren<QAction*>())
            if (action->text() == "Ta&ke Mode")
                return action->isChecked();
        ADD_FAILURE() << "the View menu has no Take Mode";
        return false;
    }

    void keys(CMatrix0001Frame& frame, std::initializer_list<std::pair<Qt::Key, Qt::KeyboardModifiers>> presses)
    {
        frame.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
        for (const auto& [key, modifiers] : presses)
            QTest::keyClick(&frame, key, modifiers);
    }
};

TEST_F(LiveOperation, TakeModePreparesRoutingsAndSendsThemInOneWrite)
{
    settings(R"({"check_device": false, "take_mode": true})");
    CMatrix0001Frame& frame = show();
    for (int o = 0; o < 8; ++o) {
        EXPECT_FALSE(view().IsOutputSelected(o)) << "no output is selected at start in take mode";
        EXPECT_EQ(view().OutputList(o)->currentIndex(), -1) << "unknown until the device is read";
    }
    EXPECT_EQ(view().OutputList(0)->placeholderText(), "unknown");
    EXPECT_FALSE(frame.m_wndToolBar.Action(F::ID_MATRIX_TAKE)->isEnabled()) << "nothing prepared";
    EXPECT_TRUE(TakeModeChecked(frame)) << "the View menu shows the mode window.json gave";

    view().OutputList(0)->activated(6);
    keys(frame, {{Qt::Key_Escape, Qt::NoModifier}});
    EXPECT_TRUE(view().Pending().empty()) << "Esc clears what was prepared";

    view().OutputList(1)->activated(2);  // output 2 <- input 3
    view().OutputList(4)->activated(5);  // output 5 <- input 6
    keys(frame, {{Qt::Key_8, Qt::ShiftModifier}, {Qt::Key_4, Qt::NoModifier}, {Qt::Key_Return, Qt::NoModifier}});
    finish();
    EXPECT_TRUE(device->frames().empty()) << "preparing sends nothing";
    EXPECT_EQ(view().Pending(), (CMatrix0001View::RoutingChanges{{1, 3}, {4, 6}, {7, 4}}));
    EXPECT_EQ(view().OutputList(1)->currentIndex(), 2) << "the list shows what is prepared";
    EXPECT_TRUE(view().OutputList(1)->property("pending").toBool()) << "outlined";
    EXPECT_EQ(view().OutputList(2)->currentIndex(), -1);
    EXPECT_EQ(frame.m_wndStatusBar.TakeText(), "TAKE: 3 prepared (Space)");
    EXPECT_TRUE(frame.m_wndToolBar.Action(F::ID_MATRIX_TAKE)->isEnabled());

    keys(frame, {{Qt::Key_Space, Qt::NoModifier}});
    finish();
    EXPECT_EQ(routingWrites(), 1u) << "one write for the three outputs";
    EXPECT_EQ(device->routing(), (Bytes{1, 3, 1, 1, 6, 1, 1, 4})) << "the others keep what the device had";
    EXPECT_EQ(device->frames().front()[6], 0x01) << "the routing was read before the write";
    EXPECT_TRUE(view().Pending().empty());
    EXPECT_EQ(view().OutputList(2)->currentIndex(), 0) << "known now";
    EXPECT_FALSE(view().OutputList(1)->property("pending").toBool());

    frame.SetTakeMode(false);
    EXPECT_FALSE(frame.m_wndToolBar.Action(F::ID_MATRIX_TAKE)->isVisible());
    EXPECT_FALSE(TakeModeChecked(frame));
    std::ifstream saved(dataFolder / "window.json");
    EXPECT_NE(std::string(std::istreambuf_iterator<char>(saved), {}).find("\"take_mode\": false"), std::string::npos)
        << "the choice is remembered";
}

TEST_F(LiveOperation, LockedOutputsKeepTheirInputWhateverAsks)
{
    CMatrix0001Frame& frame = show();
    frame.OnCommand(F::ID_MATRIX_LINKAGE);
    finish();
    keys(frame, {{Qt::Key_3, Qt::AltModifier}});
    ASSERT_TRUE(view().IsLocked(2));
    EXPECT_FALSE(view().OutputButton(2)->icon().isNull()) << "a lock beside its name";

    QTest::mouseClick(view().InputButton(4), Qt::LeftButton);  // every output selected
    finish();
    EXPECT_EQ(device->routing(), (Bytes{5, 5, 1, 5, 5, 5, 5, 5}));
    EXPECT_TRUE(frame.m_wndStatusBar.BusyText().contains("Output 3 is locked"))
        << frame.m_wndStatusBar.BusyText().toStdString();

    const size_t frames = device->frames().size();
    view().OutputList(2)->activated(6);
    finish();
    EXPECT_EQ(device->frames().size(), frames) << "a pick in a locked output's list sends nothing";
    EXPECT_EQ(view().OutputList(2)->currentIndex(), 0) << "and shows its input again";

    frame.OnCommand(F::ID_MATRIX_FASTSELECT);  // a whole table
    finish();
    EXPECT_EQ(device->routing(), (Bytes{1, 2, 1, 4, 5, 6, 7, 8}));

    frame.SetTakeMode(true);
    view().OutputList(2)->activated(3);
    EXPECT_TRUE(view().Pending().empty()) << "nothing is prepared for a locked output";

    xandrel::gui::DestroyLibraryWindows();
    CMatrix0001Frame& again = show();
    EXPECT_TRUE(view().IsLocked(2)) << "locks are kept in the data folder";
    again.activateWindow();
    keys(again, {{Qt::Key_3, Qt::AltModifier}});
    EXPECT_FALSE(view().IsLocked(2));
    std::ifstream file(dataFolder / "locks.json");
    EXPECT_NE(std::string(std::istreambuf_iterator<char>(file), {}).find("\"locked\": [\n    ]"), std::string::npos);
}

TEST_F(LiveOperation, LampShowsADeviceGoneWithinTenSecondsAndBack)
{
    start("INFOHDMIMATRIX0001_4_4", 3);
    settings(R"({"check_device": true})");
    CMatrix0001Frame& frame = show();
    EXPECT_EQ(frame.m_wndStatusBar.LineText(), "Not checked yet");
    frame.OnCheckTimer();  // its first time comes when the window opens
    finish();
    EXPECT_EQ(frame.LineState(), LineState::Answering);
    EXPECT_EQ(frame.m_wndStatusBar.LineText(), "Online");
    EXPECT_EQ(model->m_DeviceID, 255) << "the check does not take the device's ID";
    EXPECT_EQ(view().OutputList(0)->currentIndex(), 0) << "a device that answers is read once";
    EXPECT_TRUE(frame.CheckTimerActive());
    EXPECT_LE(frame.CheckTimerInterval(), 10000);

    device->command("fault no-ack");
    frontPanel("route 2 4");  // while it does not answer
    frame.OnCheckTimer();
    finish();
    EXPECT_EQ(frame.m_wndStatusBar.LineText(), "No answer");
    EXPECT_TRUE(messages.empty()) << "the check reports by the lamp only";

    device->command("fault none");
    frame.OnCheckTimer();
    finish();
    EXPECT_EQ(frame.LineState(), LineState::Answering);
    EXPECT_EQ(view().OutputList(1)->currentIndex(), 3) << "read once on its return";

    frame.OnCommand(F::ID_MATRIX_CLOSE);
    finish();
    EXPECT_EQ(frame.m_wndStatusBar.LineText(), "Port closed");
}

}  // namespace
