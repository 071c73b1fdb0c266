// SPDX-License-Identifier: GPL-3.0-or-later
// What an operator met in daily use: the traffic log's recent past, a
// backup's file name, and names renamed while the window is open.
#include <QLineEdit>

#include "MatrixWindowFixture.h"
#include "xandrel/custom/String2.h"
#include "xandrel/gui/Prompts.h"
#include "xandrel/gui/SetupMenu.h"
#include "xandrel/gui/TrafficLogWindow.h"

using namespace guitest;

namespace {

using F = CMatrix0001Frame;

TEST_F(MatrixWindow, TrafficLogBackupNameAndRenamedNamesServeTheOperator)
{
    CMatrix0001Frame& frame = show();
    frame.OnCommand(F::ID_MATRIX_FASTSELECT);
    finish();

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
