// SPDX-License-Identifier: GPL-3.0-or-later
#include "CQuellixApp.h"

#include <QApplication>
#include <cstdio>

#include "CQuellixDlg.h"
#include "CommandLine.h"
#include "DataFolderSetup.h"
#include "Snapshot.h"

namespace {

constexpr quellix::ProgramUsage kUsage{
    "Quellix",
    "A control panel for RS-232 audio/video matrix switches: the splash picture,\n"
    "then the matrix window.\n",
};

}  // namespace

int CQuellixApp::InitInstance(int& argc, char** argv)
{
    quellix::ProgramOptions options;
    if (const std::optional<int> answered = quellix::AnswerCommandLine(argc, argv, kUsage, &options))
        return *answered;
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quellix"));
    QApplication::setOrganizationName(
        QStringLiteral("Local AppWizard-Generated Applications"));  // nothing is stored under it
    QApplication::setQuitOnLastWindowClosed(false);                 // the splash's loop decides when the run ends

    const quellix::DataFolderChoice data =
        quellix::ChooseDataFolder(quellix::DeliveredDataFolders(), quellix::PerUserFolder());
    if (!data.problem.isEmpty())
        std::fprintf(stderr, "Quellix: %s\n", data.problem.toLocal8Bit().constData());

    int result = 0;
    {
        CQuellixDlg splash(options.model);
        if (!splash.Splash().problem.empty())
            std::fprintf(stderr, "Quellix: %s; the built-in picture is shown\n", splash.Splash().problem.c_str());
        if (!splash.Splash().shapeNote.empty())
            std::fprintf(stderr, "Quellix: %s: %s\n", splash.Splash().source.c_str(),
                         splash.Splash().shapeNote.c_str());
        const QString snapshots = qEnvironmentVariable("QUELLIX_SNAPSHOT_DIR");
        if (!snapshots.isEmpty())
            quellix::ScheduleSnapshots(splash, snapshots);
        // The splash's own loop would end when it hides at the hand-off; the
        // run ends instead when the splash is finished (Enter, Esc, or the
        // matrix window closing it).
        QObject::connect(&splash, &QDialog::finished, &application, &QApplication::quit);
        splash.show();
        result = QApplication::exec();
    }
    return result;
}
