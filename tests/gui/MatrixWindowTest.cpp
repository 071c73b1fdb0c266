// SPDX-License-Identifier: GPL-3.0-or-later
// The matrix window against the simulated device: routing by buttons, lists
// and menus, the toolbar, the device poll, the layout, the names from ds.dat
// and closing.
#include "MatrixWindowFixture.h"

#include <QElapsedTimer>
#include <QMenu>
#include <QPlainTextEdit>
#include <QToolButton>
#include <atomic>
#include <regex>
#include <thread>

#include "xandrel/gui/CMappingStatic.h"
#include "xandrel/gui/Prompts.h"
#include "xandrel/gui/SetupMenu.h"
#include "xandrel/gui/TrafficLogWindow.h"

using namespace guitest;

namespace {

using F = CMatrix0001Frame;

TEST_F(MatrixWindow, PanelFollowsTheWindowWidth)
{
    CMatrix0001Frame& frame = show();
    CMatrix0001View& panel = view();
    panel.resize(700 + (panel.width() - panel.viewport()->width()), panel.height());
    ASSERT_EQ(panel.viewport()->width(), 700);
    EXPECT_EQ(panel.MappingWidth(), 288);
    EXPECT_EQ(panel.OutputButton(0)->x(), 456);
    EXPECT_EQ(panel.OutputList(0)->x(), 562);
    EXPECT_EQ(panel.OutputButton(7)->y(), 30 + 44 * 7);
    EXPECT_EQ(panel.InputButton(3)->geometry(), QRect(56, 30 + 44 * 3, 100, 32));
    EXPECT_EQ(panel.Lamp(0)->geometry(), QRect(18, 30, 32, 32));
    EXPECT_EQ(panel.Mapping()->geometry(), QRect(162, 30, 288, 44 * 8 - 12));

    panel.resize(400, panel.height());
    EXPECT_EQ(panel.MappingWidth(), 150) << "narrower than the panel: it keeps its layout and scrolls";
    EXPECT_EQ(panel.OutputButton(0)->x(), 318);
    EXPECT_EQ(frame.windowTitle(), "Matrix Control Panel");
}

TEST_F(MatrixWindow, RowsFollowTheLargerCount)
{
    for (const char* className : {"INFOHDMIMATRIX0001_4_8", "INFOHDMIMATRIX0001_8_4"}) {
        start(className);
        show();
        CMatrix0001View& panel = view();
        EXPECT_EQ(panel.NaturalSize(), QSize(562, 44 * 8 + 36)) << className;
        EXPECT_EQ(panel.OutputCount(), model->m_OutputNumber);
        EXPECT_EQ(panel.OutputList(0)->count(), model->m_InputNumber);
        EXPECT_EQ(panel.InputButton(model->m_InputNumber - 1)->text(),
                  QStringLiteral("input %1").arg(model->m_InputNumber));
    }
}

TEST_F(MatrixWindow, InputButtonSendsItToTheSelectedOutputs)
{
    show();
    for (int o : {1, 2, 4, 5, 6, 7})  // leave outputs 1 and 4 selected
        QTest::mouseClick(view().OutputButton(o), Qt::LeftButton);
    QTest::mouseClick(view().InputButton(2), Qt::LeftButton);
    finish();

    EXPECT_EQ(lastPayload(), (Bytes{3, 1, 1, 3, 1, 1, 1, 1}));
    EXPECT_EQ(device->routing(), (Bytes{3, 1, 1, 3, 1, 1, 1, 1}));
    EXPECT_EQ(view().SelectedInput(), 3);
    EXPECT_TRUE(view().InputButton(2)->isChecked());
    EXPECT_FALSE(view().InputButton(0)->isChecked());
    EXPECT_EQ(view().OutputList(3)->currentIndex(), 2);
    EXPECT_TRUE(messages.empty());
}

TEST_F(MatrixWindow, OutputButtonsAndListsRouteOneOutput)
{
    show();
    QTest::mouseClick(view().InputButton(1), Qt::LeftButton);  // every output to input 2
    finish();
    const size_t frames = device->frames().size();
    QTest::mouseClick(view().OutputButton(4), Qt::LeftButton);
    EXPECT_EQ(device->frames().size(), frames) << "releasing an output sends nothing";
    EXPECT_FALSE(view().IsOutputSelected(4));

    view().OutputList(6)->activated(4);  // output 7 to input 5, as a person picks it
    finish();
    EXPECT_EQ(device->routing(), (Bytes{2, 2, 2, 2, 2, 2, 5, 2}));

    QTest::mouseClick(view().InputButton(7), Qt::LeftButton);
    finish();
    EXPECT_EQ(device->routing(), (Bytes{8, 8, 8, 8, 2, 8, 8, 8})) << "output 5 is no longer selected";
    QTest::mouseClick(view().OutputButton(4), Qt::LeftButton);
    finish();
    EXPECT_EQ(device->routing(), Bytes(8, 8)) << "selecting it again gives it the selected input";
}

TEST_F(MatrixWindow, RoutingTheDeviceDoesNotFollowIsToldAndShownAsTheDeviceHasIt)
{
    CMatrix0001Frame& frame = show();
    device->command("fault ignore-routing");
    QTest::mouseClick(view().InputButton(2), Qt::LeftButton);
    finish();
    EXPECT_TRUE(frame.m_wndStatusBar.BusyText().contains("output 1 is on input 1, not 3"))
        << frame.m_wndStatusBar.BusyText().toStdString();
    EXPECT_EQ(view().OutputList(0)->currentIndex(), 0) << "the view shows what the device reports";
    EXPECT_TRUE(messages.empty());

    device->command("fault none");
    QTest::mouseClick(view().InputButton(3), Qt::LeftButton);
    finish();
    EXPECT_TRUE(frame.m_wndStatusBar.BusyText().isEmpty()) << "a routing that was followed leaves no notice";
    EXPECT_EQ(device->frames().back()[6], 0x01) << "the last frame read the routing back";
}

TEST_F(MatrixWindow, ToolbarOpensClosesAndReadsTheDevice)
{
    CMatrix0001Frame& frame = show();
    EXPECT_TRUE(frame.m_wndToolBar.Action(F::ID_MATRIX_OPEN)->isChecked());
    EXPECT_EQ(frame.m_wndStatusBar.PortText(),
              QStringLiteral("COM 150 (%1)").arg(QString::fromStdString(device->address())));
    EXPECT_EQ(frame.m_wndStatusBar.IdText(), "ID: 255");

    frame.m_wndToolBar.Action(F::ID_MATRIX_CLOSE)->trigger();
    finish();
    EXPECT_EQ(driver->RS232_IsOpen(), 0);
    EXPECT_TRUE(frame.m_wndToolBar.Action(F::ID_MATRIX_CLOSE)->isChecked());
    QTest::mouseClick(view().InputButton(1), Qt::LeftButton);
    finish();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "Com Port is not ready.");

    frame.m_wndToolBar.Action(F::ID_MATRIX_OPEN)->trigger();
    finish();
    EXPECT_EQ(driver->RS232_IsOpen(), 1);
    frontPanel("route 2 6");
    frontPanel("signal 3 1");
    frame.m_wndToolBar.Action(F::ID_MATRIX_LINKAGE)->trigger();
    finish();
    EXPECT_EQ(view().OutputList(1)->currentIndex(), 5);
    EXPECT_EQ(model->m_VideoInputSignal[2], 1u);
    EXPECT_EQ(view().Lamp(2)->toolTip(), "Signal");
    EXPECT_EQ(view().Lamp(0)->toolTip(), "No signal");
}

TEST_F(MatrixWindow, DeviceThatStopsAnsweringIsReportedAndTheWindowGoesOn)
{
    CMatrix0001Frame& frame = show();
    device->command("fault no-ack");
    QTest::mouseClick(view().InputButton(4), Qt::LeftButton);
    finish();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "Com Port does not receive feedback from the device.");
    EXPECT_EQ(view().OutputList(0)->currentIndex(), -1) << "the routing was never read: still unknown";
    device->command("fault none");
    frame.OnCommand(F::ID_MATRIX_LINKAGE);
    finish();
    EXPECT_EQ(messages.size(), 1u);
}

TEST_F(MatrixWindow, ClickDuringAnIdlePollIsNotHeldUpByIt)
{
    CMatrix0001Frame& frame = show();
    finish();
    // Real pauses, as the test measures how long the click waits: a poll of
    // a quiet device makes 20 tries 50 ms apart. The click comes once the
    // poll pauses between two tries.
    auto pauses = std::make_shared<std::atomic<int>>(0);
    tavrik::SetWaitFunction([pauses](uint32_t ms) {
        ++*pauses;
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    });
    frame.OnPollTimer();
    ASSERT_TRUE(QTest::qWaitFor([&pauses] { return *pauses > 0; }, 5000));
    const size_t before = device->frames().size();
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(view().InputButton(2), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return device->frames().size() > before; }, 5000));
    // The poll gives way within 50 ms, then the command's 200 ms pacing; a
    // poll that ran out its tries would hold the click for about 0.9 s more.
    EXPECT_LT(clock.elapsed(), 700);
    finish();
    tavrik::SetWaitFunction([](uint32_t) {});
    EXPECT_EQ(device->routing(), Bytes(8, 3));
}

TEST_F(MatrixWindow, ClosingDuringLinkageWaitsForItsFramesThenEndsTheHost)
{
    host.show();
    CMatrix0001Frame& frame = show(1);
    finish();
    frontPanel("route 4 6");
    frame.OnCommand(F::ID_MATRIX_LINKAGE);
    EXPECT_FALSE(frame.m_wndToolBar.Action(F::ID_MATRIX_LINKAGE)->isEnabled()) << "no second exchange meanwhile";
    frame.close();
    EXPECT_TRUE(host.isVisible()) << "the close waits for the exchange";
    finish();
    EXPECT_FALSE(host.isVisible());
    EXPECT_EQ(model->m_VideoOutputChannel[3], 6) << "Linkage ran to its end";
}

TEST_F(MatrixWindow, MappingMenuSelectsOutputsByInput)
{
    start("INFOVGAMATRIX_5_5");
    CMatrix0001Frame& frame = show();
    QMenu menu;
    frame.FillDropDownMenu(F::ID_MATRIX_MAPPING, menu);
    QStringList texts;
    for (QAction* action : menu.actions())
        if (!action->isSeparator())
            texts << action->text();
    EXPECT_EQ(
        texts,
        (QStringList{"Select All Output", "Unselect All Output", "Select input 1 - Output", "Select input 2 - Output",
                     "Select input 3 - Output", "Select input 4 - Output", "Select input 5 - Output"}));
    EXPECT_EQ(menu.actions().last()->data().toInt(), 7205);

    frontPanel("route 2 4");
    frontPanel("route 5 4");
    frame.OnCommand(F::ID_MATRIX_LINKAGE);
    finish();
    frame.OnCommand(F::ID_UNSELECT_ALL_OUTPUT);
    EXPECT_FALSE(view().IsOutputSelected(0));
    frame.OnCommand(F::ID_SELECT_INPUT_OUTPUT + 3);
    EXPECT_EQ(view().SelectedInput(), 4);
    for (int o = 0; o < 5; ++o)
        EXPECT_EQ(view().IsOutputSelected(o), o == 1 || o == 4) << o;
}

TEST_F(MatrixWindow, FastSelectRoutesOneToOneOrAllToOne)
{
    start("INFOHDMIMATRIX0001_4_8");
    CMatrix0001Frame& frame = show();
    frame.OnCommand(F::ID_MATRIX_FASTSELECT);
    finish();
    EXPECT_EQ(device->routing(), (Bytes{1, 2, 3, 4, 1, 2, 3, 4}));
    frame.OnCommand(F::ID_INPUT_ALL_OUTPUT + 2);
    finish();
    EXPECT_EQ(device->routing(), Bytes(8, 3));
    frame.OnCommand(F::ID_INPUT_NUM_OUTPUT_NUM);
    finish();
    EXPECT_EQ(device->routing(), (Bytes{1, 2, 3, 4, 3, 3, 3, 3})) << "outputs 5 to 8 keep their inputs";

    start("INFOHDMIMATRIX0001_8_4");
    show().OnCommand(F::ID_INPUT_NUM_OUTPUT_NUM);
    finish();
    EXPECT_EQ(lastPayload(), (Bytes{1, 2, 3, 4, 0, 0, 0, 0})) << "nothing beyond the four outputs";
}

TEST_F(MatrixWindow, PresetsAndRoutingByKeyboardAndABadPresetsFileKept)
{
    CMatrix0001Frame& frame = show();
    frame.OnCommand(F::ID_MATRIX_FASTSELECT);  // 1:1 ... 8:8
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
    EXPECT_TRUE(presets->actions().at(2)->text().endsWith("\t" + QKeySequence("Ctrl+1").toString()))
        << "the menu shows the key it does not take";
    frame.OnCommand(F::ID_INPUT_ALL_OUTPUT + 4);
    finish();

    frame.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    QTest::keyClick(&frame, Qt::Key_1, Qt::ControlModifier);
    finish();
    EXPECT_EQ(device->routing(), (Bytes{1, 2, 3, 4, 5, 6, 7, 8}))
        << "Ctrl+1 recalls the first preset, after the Presets menu was opened too";
    const size_t frames = device->frames().size();
    QTest::keyClick(&frame, Qt::Key_1, Qt::ControlModifier);
    finish();
    EXPECT_EQ(device->frames().size(), frames) << "a routing that matches sends nothing";
    EXPECT_TRUE(frame.m_wndStatusBar.BusyText().contains("already matches"));
    EXPECT_TRUE(messages.empty());

    frame.OnCommand(F::ID_UNSELECT_ALL_OUTPUT);  // the keys route too: input 6 to outputs 2 and 5
    for (auto [key, modifiers] : {std::pair{Qt::Key_6, Qt::NoModifier},
                                  {Qt::Key_2, Qt::ShiftModifier},
                                  {Qt::Key_5, Qt::ShiftModifier},
                                  {Qt::Key_Return, Qt::NoModifier}})
        QTest::keyClick(&frame, key, modifiers);
    finish();
    EXPECT_EQ(device->routing(), (Bytes{1, 6, 3, 4, 6, 6, 7, 8}));

    const std::string bad = "{\"presets\": 3";
    std::ofstream(dataFolder / "presets.json", std::ios::binary) << bad;
    QMenu menu;
    frame.FillDropDownMenu(F::ID_MATRIX_PRESETS, menu);
    EXPECT_FALSE(menu.actions().front()->isEnabled()) << "no saving over a file that is no presets file";
    QTest::keyClick(&frame, Qt::Key_1, Qt::ControlModifier);
    finish();
    ASSERT_EQ(messages.size(), 1u);
    std::ifstream kept(dataFolder / "presets.json", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), bad);
}

TEST_F(MatrixWindow, BackupRestoresRoutingAndNamesAndTheTrafficLogShowsTheFrames)
{
    CMatrix0001Frame& frame = show();
    frame.OnCommand(F::ID_MATRIX_FASTSELECT);
    finish();
    const std::string file = (dataFolder.parent_path() / "setup.json").string();
    xandrel::gui::SetFileChooser(
        [&](QWidget*, xandrel::gui::FileUse, const QString&, const QString&) { return QString::fromStdString(file); });
    frame.setupMenu()->BackUp();
    std::ifstream saved(file, std::ios::binary);
    std::string text(std::istreambuf_iterator<char>(saved), {});
    const std::string renamed = std::regex_replace(text, std::regex("\"input 2\""), "\"Laptop\"");
    ASSERT_NE(renamed, text);
    std::ofstream(file, std::ios::binary | std::ios::trunc) << renamed;

    frame.setupMenu()->ShowTrafficLog();
    frame.OnCommand(F::ID_INPUT_ALL_OUTPUT + 4);
    finish();
    xandrel::gui::SetMessageHandler([this](const xandrel::gui::MessageRequest& request) {
        messages.push_back(request.text);
        return QMessageBox::Yes;
    });
    frame.setupMenu()->Restore();
    finish();
    xandrel::gui::SetFileChooser({});
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].contains("output 1: input 5 -> 1")) << messages[0].toStdString();
    EXPECT_EQ(device->routing(), (Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(view().InputButton(1)->text(), "Laptop");

    // The log's rows come queued from the worker; the last is the read that
    // confirms the restore.
    xandrel::gui::TrafficLogWindow* trafficLog = frame.setupMenu()->trafficLog();
    ASSERT_TRUE(QTest::qWaitFor([trafficLog] { return trafficLog->Text().contains("answer to read routing"); }, 5000))
        << trafficLog->Text().toStdString();
    const QString log = trafficLog->Text();
    EXPECT_TRUE(log.contains("sent") && log.contains("write routing, ID 255")) << log.toStdString();
}

TEST_F(MatrixWindow, FrontPanelChangesArriveWithThePoll)
{
    CMatrix0001Frame& frame = show();
    EXPECT_TRUE(frame.PollTimerActive());
    frontPanel("route 8 7");
    EXPECT_TRUE(PollUntil(frame, [this] { return view().OutputList(7)->currentIndex() == 6; }));
    EXPECT_TRUE(frame.PollTimerActive());

    start("INFOVGAMATRIX_5_5");
    CMatrix0001Frame& vga = show();
    vga.OnPollTimer();
    finish();
    EXPECT_FALSE(vga.PollTimerActive()) << "this model is not polled";
}

TEST_F(MatrixWindow, EdidInfoListsTheInputsOrSaysItCannot)
{
    start("INFOHDMIMATRIX0001_4_4");
    show().OnCommand(F::ID_MATRIX_EDIDINFO);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "Function Not Support!");
    EXPECT_TRUE(device->frames().empty());

    start("INFOHDMIMATRIX0001_8_8");
    CMatrix0001Frame& frame = show();
    QString shown;
    answerNextModal([&shown](QDialog* dialog) { shown = dialog->findChild<QPlainTextEdit*>("text")->toPlainText(); });
    frame.OnCommand(F::ID_MATRIX_EDIDINFO);
    EXPECT_EQ(frame.m_Polling, 0) << "no poll while the report is made and shown";
    ASSERT_TRUE(QTest::qWaitFor([&frame] { return frame.m_Polling == 1; }, 10000));
    EXPECT_TRUE(shown.startsWith("Input1 Manufacturer ID: QLX0101\n")) << shown.toStdString();
    EXPECT_TRUE(shown.contains("Input8 Manufacturer ID: QLX0108"));
    EXPECT_EQ(frame.m_Polling, 1);
}

TEST_F(MatrixWindow, NoInputShowsAsInput1AndIsSentOnlyWhenRouted)
{
    CMatrix0001Frame& frame = show();
    frame.OnCommand(F::ID_MATRIX_LINKAGE);
    finish();
    model->m_VideoOutputChannel[2] = 0;  // the device says output 3 has no input
    frame.RefreshAll();
    EXPECT_EQ(view().OutputList(2)->currentIndex(), 0);
    EXPECT_EQ(model->m_VideoOutputChannel[2], 0) << "the model keeps what the device said";
    for (int o : {0, 1, 3, 4, 5, 6, 7})
        QTest::mouseClick(view().OutputButton(o), Qt::LeftButton);
    QTest::mouseClick(view().InputButton(0), Qt::LeftButton);  // input 1 to output 3 alone
    finish();
    EXPECT_EQ(lastPayload(), Bytes(8, 1));
    EXPECT_EQ(model->m_VideoOutputChannel[2], 1);
}

TEST_F(MatrixWindow, FrontPanelChangesShowWithTheDeliveredSettings)
{
    start("INFOHDMIMATRIX0001_8_8", 0);  // the simulator's own ID; the window's model is at 255
    CMatrix0001Frame& frame = show();
    frame.OnCommand(F::ID_MATRIX_LINKAGE);
    finish();
    frontPanel("route 2 5");
    EXPECT_TRUE(PollUntil(frame, [this] { return view().OutputList(1)->currentIndex() == 4; }));
}

TEST_F(MatrixWindow, NamesAndCaptionsComeFromTheStringTable)
{
    writeStringTable("__toolbar\r\nConnect\r\nFind\r\n\r\nOn\r\nOff\r\nMap\r\nPresets\r\n__end\r\n"
                     "__title\r\nStudio A Router\r\nDevice\r\nPorts\r\n__end\r\n"
                     "__input\r\nCamera 1\r\nCamera 2\r\ninput 3\r\ninput 4\r\ninput 5\r\ninput 6\r\n"
                     "input 7\r\ninput 8\r\n__end\r\n"
                     "__output\r\nConference Room Projector 2B\r\n");
    CMatrix0001Frame& frame = show();
    EXPECT_EQ(frame.windowTitle(), "Studio A Router");
    EXPECT_EQ(frame.m_wndToolBar.Action(F::ID_MATRIX_SETTING)->text(), "Connect");
    EXPECT_EQ(frame.m_wndToolBar.Action(F::ID_MATRIX_LINKAGE)->text(), "") << "an empty line is an empty caption";
    EXPECT_EQ(frame.m_wndToolBar.Action(F::ID_MATRIX_EDIDINFO)->text(), "EDID Info.");
    EXPECT_EQ(view().InputButton(1)->text(), "Camera 2");
    EXPECT_EQ(view().InputButton(2)->text(), "input 3");
    EXPECT_EQ(view().OutputList(0)->itemText(0), "Camera 1");
    EXPECT_TRUE(view().OutputButton(0)->text().endsWith(QChar(0x2026))) << "a long name is cut at its end";
    EXPECT_EQ(view().OutputButton(0)->toolTip(), "Conference Room Projector 2B");
    EXPECT_EQ(view().OutputButton(1)->text(), "output 2");
    EXPECT_TRUE(view().OutputButton(1)->toolTip().isEmpty());
}

TEST_F(MatrixWindow, TheIconOfTheDataFolderShowsBesideTheHostsLargeOne)
{
    const auto filled = [](QColor colour) {
        QPixmap pixmap(32, 32);
        pixmap.fill(colour);
        return pixmap;
    };
    ASSERT_TRUE(filled(Qt::blue).save(QString::fromStdString((dataFolder / "ic.dat").string()), "ICO"));
    record.m_Icon = QIcon(filled(Qt::red));
    CMatrix0001Frame& frame = show();
    EXPECT_EQ(frame.windowIcon().pixmap(16).toImage().pixelColor(8, 8), QColor(Qt::blue)) << "the title bar's";
    EXPECT_EQ(frame.windowIcon().pixmap(48).toImage().pixelColor(24, 24), QColor(Qt::red)) << "the task bar's";
}

TEST_F(MatrixWindow, ClosingHidesOrEndsTheHost)
{
    host.show();
    CMatrix0001Frame& frame = show(0);
    frame.close();
    EXPECT_FALSE(frame.isVisible());
    EXPECT_TRUE(host.isVisible());
    gui.DEVMA_GUIVideoSwitchWindow(1, &record);
    EXPECT_EQ(xandrel::gui::MatrixFrame(), &frame) << "the same window comes back";
    EXPECT_TRUE(frame.isVisible());

    xandrel::gui::DestroyLibraryWindows();
    show(1).close();
    EXPECT_FALSE(host.isVisible()) << "closing the matrix window closes the host";
}

TEST_F(MatrixWindow, EntryPointsDoNothingTheyAreNotAskedTo)
{
    INFOGUIPDATA refresh;
    refresh.m_Action = 1;
    EXPECT_EQ(gui.DEVMA_GUIVideoSwitchWindow(1, &refresh), 1);
    EXPECT_EQ(xandrel::gui::MatrixFrame(), nullptr) << "a refresh makes no window";
    INFOGUIPDATA hide;
    EXPECT_EQ(gui.DEVMA_GUIVideoSwitchWindow(0, &hide), 1);
    EXPECT_EQ(xandrel::gui::MatrixFrame(), nullptr);
    EXPECT_NE(std::unique_ptr<GUIDEVICEMATRIXBASE>(CreateMatrixModeGUI(10)), nullptr);
    EXPECT_EQ(std::unique_ptr<GUIDEVICEMATRIXBASE>(CreateMatrixModeGUI(11)), nullptr);
}

}  // namespace
