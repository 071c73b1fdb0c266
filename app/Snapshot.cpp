// SPDX-License-Identifier: GPL-3.0-or-later
#include "Snapshot.h"

#include <QBitmap>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QTextStream>
#include <QTimer>

#include "CQuellixDlg.h"
#include "xandrel/gui/CMatrix0001Frame.h"
#include "xandrel/gui/DeviceExchanges.h"
#include "xandrel/gui/MessageBoxes.h"

namespace quellix {
namespace {

constexpr int kSplashPictureAfterMs = 300;
constexpr int kWindowPictureAfterMs = 1000;

void Note(const QString& folder, const QString& line)
{
    QFile file(folder + "/run.txt");
    if (file.open(QIODevice::Append | QIODevice::Text))
        QTextStream(&file) << line << "\n";
}

// The splash as the screen shows it: outside its shape, nothing.
QImage ShapedGrab(QWidget& widget)
{
    QImage picture = widget.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    QImage shaped(picture.size(), QImage::Format_ARGB32);
    shaped.fill(Qt::transparent);
    QPainter painter(&shaped);
    painter.setClipRegion(widget.mask());
    painter.drawImage(0, 0, picture);
    return shaped;
}

void LookAndClose(CMatrix0001Frame& frame, const QString& folder)
{
    frame.grab().save(folder + "/matrix-window.png");
    Note(folder,
         QStringLiteral("window visible=%1 title=%2 icon=%3 port=%4")
             .arg(frame.isVisible() ? 1 : 0)
             .arg(frame.windowTitle())
             .arg(frame.windowIcon().isNull() ? "none" : "set")
             .arg(frame.m_wndToolBar.Action(CMatrix0001Frame::ID_MATRIX_OPEN)->isChecked() ? "open" : "closed"));
    frame.close();
}

}  // namespace

void ScheduleSnapshots(CQuellixDlg& splash, const QString& folder)
{
    QDir().mkpath(folder);
    QFile::remove(folder + "/run.txt");
    // Nobody is there to answer a message box: its text goes to run.txt.
    xandrel::gui::SetMessageHandler([folder](const xandrel::gui::MessageRequest& request) {
        Note(folder, QStringLiteral("message: %1").arg(request.text));
        return QMessageBox::Ok;
    });
    auto* clock = new QElapsedTimer;
    clock->start();
    QTimer::singleShot(kSplashPictureAfterMs, &splash, [&splash, folder] {
        ShapedGrab(splash).save(folder + "/splash.png");
        Note(folder,
             QStringLiteral("splash %1x%2 rects=%3 visible=%4 source=%5")
                 .arg(splash.m_Width)
                 .arg(splash.m_Height)
                 .arg(splash.mask().rectCount())
                 .arg(splash.isVisible() ? 1 : 0)
                 .arg(QString::fromStdString(splash.Splash().source)));
    });
    QObject::connect(&splash, &CQuellixDlg::handedOff, &splash, [&splash, folder, clock] {
        Note(folder, QStringLiteral("handed off after %1 ms").arg(clock->elapsed()));
        delete clock;
        QTimer::singleShot(kWindowPictureAfterMs, &splash, [folder] {
            CMatrix0001Frame* frame = xandrel::gui::MatrixFrame();
            if (!frame) {
                Note(folder, QStringLiteral("no matrix window"));
                return;
            }
            // As an operator would: open the port, read the device, then look.
            // Each command runs on the device's worker; the next waits for it.
            xandrel::gui::DeviceExchanges* exchanges = frame->exchanges();
            frame->OnCommand(CMatrix0001Frame::ID_MATRIX_OPEN);
            exchanges->whenIdle([frame, exchanges, folder] {
                frame->OnCommand(CMatrix0001Frame::ID_MATRIX_LINKAGE);
                exchanges->whenIdle([frame, folder] { LookAndClose(*frame, folder); });
            });
        });
    });
}

}  // namespace quellix
