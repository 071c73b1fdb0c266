// SPDX-License-Identifier: GPL-3.0-or-later
// quellix-edid: a host for the library's offers to host programs. It asks for
// the device model (mode select), opens the matrix window for it, and adds an
// "EDID" tool bar to that window whose button (also Ctrl+E) opens the EDID
// configuration dialog. Closing the matrix window ends the program.
#include <QAction>
#include <QApplication>
#include <QToolBar>
#include <QWidget>

#include "CommandLine.h"
#include "DataFolderSetup.h"
#include "ProgramArtwork.h"
#include "xandrel/gui/CComboSingleMatrix.h"
#include "xandrel/gui/CMatrix0001Frame.h"
#include "xandrel/gui/GUIDEVICEMATRIXBASE.h"
#include "xandrel/res/Artwork.h"

namespace {

constexpr quellix::ProgramUsage kUsage{
    "quellix-edid",
    "Asks for the device model (Mode Select), opens the matrix window for it and\n"
    "adds an EDID Config button (also Ctrl+E): read, edit, write, copy, save and\n"
    "load EDIDs. Hold Shift while starting to be asked for the model again.\n",
};

// The host's own window: never shown; closing the matrix window closes it,
// which ends the run.
class HostWindow : public QWidget {
public:
    HostWindow() { setAttribute(Qt::WA_DontShowOnScreen); }

protected:
    void closeEvent(QCloseEvent* event) override
    {
        QWidget::closeEvent(event);
        QApplication::quit();
    }
};

void AddEdidToolBar(CMatrix0001Frame& frame, GUIDEVICEMATRIXBASE& gui)
{
    auto* bar = new QToolBar(QStringLiteral("EDID"), &frame);
    bar->setObjectName(QStringLiteral("edidToolBar"));
    bar->setIconSize(QSize(32, 32));
    bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    const QList<QPixmap> images = CMatrixVideoBar::ButtonImages(bar->palette().color(QPalette::Button));
    QAction* config = bar->addAction(QIcon(images[static_cast<int>(xandrel::art::ToolbarImage::SecondGlyph)]),
                                     QStringLiteral("EDID Config"));
    config->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    config->setToolTip(QStringLiteral("Read, edit, save and write EDIDs (Ctrl+E)"));
    QObject::connect(config, &QAction::triggered, &frame, [&gui, &frame] {
        INFOGUIPDATA record;
        record.m_HostWnd = &frame;
        record.m_UseParent = 1;
        gui.DEVMA_GUIEDIDConfig(1, &record);
    });
    QAction* forget = bar->addAction(QIcon(images[static_cast<int>(xandrel::art::ToolbarImage::Circles)]),
                                     QStringLiteral("Ask Model"));
    forget->setToolTip(QStringLiteral("Ask for the device model again at the next start"));
    QObject::connect(forget, &QAction::triggered, [] { xandrel::gui::ForgetRememberedMode(); });
    frame.addToolBarBreak(Qt::TopToolBarArea);  // its own row: the matrix window's bar stays whole
    frame.addToolBar(Qt::TopToolBarArea, bar);
    frame.resize(frame.size() + QSize(0, bar->sizeHint().height()));
}

}  // namespace

int main(int argc, char** argv)
{
    if (const std::optional<int> answered = quellix::AnswerCommandLine(argc, argv, kUsage))
        return *answered;
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quellix-edid"));
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(quellix::art::ProgramIcon());
    quellix::ChooseDataFolder(quellix::DeliveredDataFolders(), quellix::PerUserFolder());

    CComboSingleMatrix combo;
    combo.DEVMA_SelectMatrixMode();
    HostWindow host;
    INFOGUIPDATA record;
    record.m_Title = QStringLiteral("Quellix EDID");
    record.m_HostWnd = &host;
    record.m_CloseHost = 1;
    record.m_Icon = quellix::art::ProgramIcon();
    if (combo.DEVMA_ComboSigleMatrixWindow(&record) != 1)
        return 0;  // no model chosen: nothing to open
    if (CMatrix0001Frame* frame = xandrel::gui::MatrixFrame())
        AddEdidToolBar(*frame, *combo.m_GUI);
    const int result = QApplication::exec();
    xandrel::gui::DestroyLibraryWindows();  // before the combo's model goes
    return result;
}
