// SPDX-License-Identifier: GPL-3.0-or-later
// Choosing the device model before the matrix window opens, and the hidden
// key chord that opens the GUI Config dialog.
#include "MatrixWindowFixture.h"

#include <QCheckBox>
#include <QLineEdit>

#include "xandrel/custom/StringModify.h"
#include "xandrel/gui/CComboSingleMatrix.h"
#include "xandrel/gui/CDlgModeSelect.h"
#include "xandrel/gui/KeyChord.h"

using namespace guitest;

namespace {

// Runs DEVMA_SelectMatrixMode, doing `choose` to the dialog once it is up.
uint32_t Select(CComboSingleMatrix& combo, const std::function<void(CDlgModeSelect&)>& choose, bool* shown = nullptr)
{
    QTimer::singleShot(0, [&choose, shown] {
        if (auto* dialog = qobject_cast<CDlgModeSelect*>(QApplication::activeModalWidget())) {
            if (shown)
                *shown = true;
            choose(*dialog);
        }
    });
    combo.DEVMA_SelectMatrixMode();
    return combo.m_Mode;
}

TEST_F(MatrixWindow, ModeSelectListsTheElevenModelsAndTellsWhatWasChosen)
{
    CDlgModeSelect dialog;
    ASSERT_EQ(dialog.m_ModeList->count(), 11);
    EXPECT_EQ(dialog.m_ModeList->itemText(0), "SDI 5 Ports Switch");
    EXPECT_EQ(dialog.m_ModeList->itemText(10), "VGA 5x5 Ports Matrix");

    CComboSingleMatrix combo;
    EXPECT_EQ(Select(combo, [](CDlgModeSelect& d) { d.accept(); }), 0u);
    EXPECT_EQ(Select(combo,
                     [](CDlgModeSelect& d) {
                         d.m_ModeList->setCurrentIndex(7);
                         d.reject();
                     }),
              0u)
        << "Cancel keeps 0";
    EXPECT_EQ(Select(combo,
                     [](CDlgModeSelect& d) {
                         d.m_ModeList->setCurrentIndex(7);
                         d.accept();
                     }),
              7u);
    EXPECT_EQ(Select(combo,
                     [](CDlgModeSelect& d) {
                         d.m_ModeList->lineEdit()->setText("HDMI 9x9");
                         d.accept();
                     }),
              CDlgModeSelect::kNoMode);
    INFOGUIPDATA data;
    EXPECT_EQ(combo.DEVMA_ComboSigleMatrixWindow(&data), 0);
    EXPECT_EQ(xandrel::gui::MatrixFrame(), nullptr) << "no window for a mode that names no model";
}

TEST_F(MatrixWindow, ComboMakesTheChosenModelAndOpensItsWindow)
{
    CComboSingleMatrix combo;
    combo.m_Mode = 4;
    INFOGUIPDATA data;
    ASSERT_EQ(combo.DEVMA_ComboSigleMatrixWindow(&data), 1);
    ASSERT_NE(combo.m_Device, nullptr);
    EXPECT_EQ(combo.m_Device->m_InputNumber, 4);
    EXPECT_EQ(combo.m_Device->m_PortDriver, &combo.m_PortDriver);
    ASSERT_NE(xandrel::gui::MatrixFrame(), nullptr);
    EXPECT_EQ(xandrel::gui::MatrixFrame()->m_GUI, combo.m_GUI);
    EXPECT_EQ(view().OutputCount(), 4);
    xandrel::gui::DestroyLibraryWindows();  // before the combo's model goes
}

TEST_F(MatrixWindow, RememberedModelIsTakenWithoutAsking)
{
    CComboSingleMatrix combo;
    EXPECT_EQ(Select(combo,
                     [](CDlgModeSelect& d) {
                         d.m_ModeList->setCurrentIndex(9);
                         d.m_DontShow->setChecked(true);
                         d.accept();
                     }),
              9u);
    ASSERT_EQ(xandrel::gui::RememberedMode(), 9u);
    CComboSingleMatrix later;
    bool shown = false;
    EXPECT_EQ(Select(
                  later, [](CDlgModeSelect& d) { d.accept(); }, &shown),
              9u);
    EXPECT_FALSE(shown);
    QApplication::processEvents();
    xandrel::gui::ForgetRememberedMode();
    EXPECT_FALSE(xandrel::gui::RememberedMode());
}

TEST_F(MatrixWindow, CtrlF9OnSettingOpensTheGuiConfigInstead)
{
    CMatrix0001Frame& frame = show();
    QTest::keyPress(&frame, Qt::Key_F9, Qt::ControlModifier);
    ASSERT_TRUE(xandrel::gui::ConfigChordHeld());
    int inputs = 0;
    QTimer::singleShot(0, [&inputs] {
        if (auto* config = qobject_cast<StringModify*>(QApplication::activeModalWidget())) {
            inputs = config->m_InputNumber;
            config->close();
        }
    });
    frame.m_wndToolBar.Action(CMatrix0001Frame::ID_MATRIX_SETTING)->trigger();
    EXPECT_EQ(inputs, 8);
    QTest::keyRelease(&frame, Qt::Key_F9, Qt::ControlModifier);
    EXPECT_FALSE(xandrel::gui::ConfigChordHeld());
}

}  // namespace
