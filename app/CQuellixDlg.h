// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The splash window: the program's picture, cut to its shape, for two
// seconds; then it makes the model, binds it, the port driver and the GUI
// front object, hands the work to the matrix window and hides. It stays the
// program's main window: when the matrix window closes it, the program ends.
//
// The model is the one asked for (--model, $QUELLIX_MODEL), else the one the
// data folder's window.json remembers, else the 8x8 HDMI matrix; the port
// and device ID window.json remembers are taken too. The matrix window can
// ask for another model (File > Model..., the scan dialog's Open): the
// splash drops the window and reopens it for a model of that kind.
#include <QDialog>
#include <QTimer>
#include <memory>

#include "SplashPicture.h"
#include "tavrik/INFOPORTDRIVER.h"
#include "xandrel/device/INFODEVICEMATRIXBASE.h"
#include "xandrel/gui/GUIDEVICEMATRIXBASE.h"

namespace xandrel {
struct ModelSpec;
}
namespace xandrel::gui {
struct ModelRequest;
}

class CQuellixDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kSplashMs = 2000;

    // `model`: the model asked for; null takes the remembered one.
    explicit CQuellixDlg(const xandrel::ModelSpec* model = nullptr);
    ~CQuellixDlg() override;

    GUIDEVICEMATRIXBASE m_GUI;
    std::unique_ptr<INFODEVICEMATRIXBASE> m_Device;  // made at the hand-off
    INFOPORTDRIVER m_PortDriver;
    QIcon m_hIcon;
    int m_Width = 0;
    int m_Height = 0;

    const quellix::SplashPicture& Splash() const { return m_Splash; }
    // The hand-off to the matrix window (the splash timer's work).
    void HandOff();
    // Drops the matrix window and opens it again for the model asked for.
    void Reopen(const xandrel::gui::ModelRequest& request);

Q_SIGNALS:
    void handedOff();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void showAbout();
    void useModel(const xandrel::ModelSpec& model);
    void showMatrixWindow(int port);

    quellix::SplashPicture m_Splash;
    QTimer m_Timer;
    const xandrel::ModelSpec* m_AskedModel;
};
