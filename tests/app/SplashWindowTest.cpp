// The splash window: its keys, and the hand-off to the matrix window with the
// title from ti.dat and the program's icon.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "CQuellixDlg.h"
#include "VirtualClock.h"
#include "xandrel/gui/CMatrix0001Frame.h"
#include "xandrel/gui/GuiServices.h"

namespace fs = std::filesystem;

namespace {

class SplashWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = fs::path(::testing::TempDir()) / ("splash-window-" + std::to_string(::getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder / "data");
        xandrel::gui::SetDataFolder((folder / "data").string());
        xandrel::gui::SetMessageHandler([](const xandrel::gui::MessageRequest&) { return QMessageBox::Ok; });
    }
    void TearDown() override
    {
        xandrel::gui::DestroyLibraryWindows();
        xandrel::gui::SetMessageHandler({});
        fs::remove_all(folder);
    }

    testsupport::NoWaiting noWaiting;
    fs::path folder;
};

TEST_F(SplashWindow, EnterOrEscEndsTheRunBeforeTheHandOff)
{
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        CQuellixDlg splash;
        QSignalSpy finished(&splash, &QDialog::finished);
        splash.show();
        EXPECT_EQ(splash.size(), QSize(570, 270));
        EXPECT_FALSE(splash.mask().isEmpty());
        QTest::keyClick(&splash, key);
        EXPECT_EQ(finished.count(), 1);
        EXPECT_EQ(xandrel::gui::MatrixFrame(), nullptr);
    }
}

TEST_F(SplashWindow, HandOffGivesTheTitleTheIconAndTheRunToTheMatrixWindow)
{
    std::string title(300, 'T');
    title[3] = '\r';
    title[4] = '\n';
    title[280] = '\0';
    std::ofstream(folder / "data" / "ti.dat", std::ios::binary) << title << std::string(1 << 20, 'x');
    CQuellixDlg splash;
    QSignalSpy finished(&splash, &QDialog::finished);
    splash.show();
    splash.HandOff();

    CMatrix0001Frame* frame = xandrel::gui::MatrixFrame();
    ASSERT_NE(frame, nullptr);
    EXPECT_FALSE(splash.isVisible());
    EXPECT_EQ(frame->m_GUIData.m_Title.size(), 255) << "the first 255 bytes, the line break kept";
    EXPECT_EQ(frame->m_GUIData.m_Title.mid(3, 2), "\r\n");
    EXPECT_EQ(frame->windowTitle(), "Matrix Control Panel") << "the window takes its caption from ds.dat";
    EXPECT_EQ(frame->windowIcon().pixmap(48).toImage(), splash.m_hIcon.pixmap(48).toImage())
        << "the program's icon at the large sizes";
    EXPECT_EQ(frame->m_GUIData.m_CloseHost, 1);
    EXPECT_EQ(splash.m_Device.m_PortDriver, &splash.m_PortDriver);

    frame->close();
    EXPECT_EQ(finished.count(), 1) << "closing the matrix window ends the run";
}

}  // namespace
