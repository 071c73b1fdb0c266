// SPDX-License-Identifier: GPL-3.0-or-later
// What an operator met in daily use: preset keys after the Presets menu was
// opened, the traffic log's recent past, a backup's file name, and names
// renamed while the window is open.
#include <QLineEdit>
#include <QMenu>
#include <QToolButton>

#include "MatrixWindowFixture.h"
#include "xandrel/custom/String2.h"
#include "xandrel/gui/SetupMenu.h"
#include "xandrel/gui/TrafficLogWindow.h"

using namespace guitest;

namespace {

using F = CMatrix0001Frame;

TEST_F(MatrixWindow, PresetKeysBackupNamesAndTrafficLogServeTheOperator)
{
    CMatrix0001Frame& frame = show();
    frame.OnCommand(F::ID_MATRIX_FASTSELECT);
    finish();
    xandrel::gui::SetTextAsker([](QWidget*, const QString&, const QString&, const QString&) { return "Show A"; });
    QMenu* presets = frame.m_wndToolBar.Action(F::ID_MATRIX_PRESETS)->menu<QMenu*>();
    ASSERT_NE(presets, nullptr);
    presets->popup(frame.mapToGlobal(QPoint(0, 0)));
    presets->actions().front()->trigger();  // Save Current As...
    xandrel::gui::SetTextAsker({});
    for (int opened = 0; opened < 2; ++opened) {  // the menu with the preset, as a person opens it
        presets->popup(frame.mapToGlobal(QPoint(0, 0)));
        presets->hide();
    }
    frame.OnCommand(F::ID_INPUT_ALL_OUTPUT + 4);
    finish();
    frame.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    QTest::keyClick(&frame, Qt::Key_1, Qt::ControlModifier);
    finish();
    EXPECT_EQ(device->routing(), (Bytes{1, 2, 3, 4, 5, 6, 7, 8})) << "Ctrl+1 after the menu was opened";
    EXPECT_TRUE(presets->actions().at(2)->text().endsWith("\t" + QKeySequence("Ctrl+1").toString()))
        << "the menu shows the key";

    frame.setupMenu()->ShowTrafficLog();
    EXPECT_TRUE(frame.setupMenu()->trafficLog()->Text().contains("write routing"))
        << "the log opens with what happened before";

    const fs::path folder = dataFolder.parent_path();
    xandrel::gui::SetFileChooser([&](QWidget*, xandrel::gui::FileUse, const QString&, const QString&) {
        return QString::fromStdString((folder / "setup").string());
    });
    frame.setupMenu()->BackUp();
    xandrel::gui::SetFileChooser({});
    EXPECT_TRUE(fs::exists(folder / "setup.json")) << "Restore lists *.json";

    String2 names(&frame);
    names.show();
    names.findChild<QLineEdit*>("box1172")->setText("Camera");
    names.findChild<QPushButton*>("button1156")->click();
    EXPECT_EQ(view().InputButton(0)->text(), "Camera") << "saved names show at once";
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back(), String2::kNamesSavedText);
}

}  // namespace
