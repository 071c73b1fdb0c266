#pragma once
// The splash window: the program's picture, cut to its shape, for two
// seconds; then it binds the model, the port driver and the GUI front object,
// hands the work to the matrix window and hides. It stays the program's main
// window: when the matrix window closes it, the program ends.
#include <QDialog>
#include <QTimer>

#include "SplashPicture.h"
#include "tavrik/INFOPORTDRIVER.h"
#include "xandrel/device/MatrixModels.h"
#include "xandrel/gui/GUIDEVICEMATRIXBASE.h"

class CQuellixDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kSplashMs = 2000;

    CQuellixDlg();

    GUIDEVICEMATRIXBASE m_GUI;
    INFOHDMIMATRIX0001_8_8 m_Device;
    INFOPORTDRIVER m_PortDriver;
    QIcon m_hIcon;
    int m_Width = 0;
    int m_Height = 0;

    const quellix::SplashPicture& Splash() const { return m_Splash; }
    // The hand-off to the matrix window (the splash timer's work).
    void HandOff();

Q_SIGNALS:
    void handedOff();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void showAbout();

    quellix::SplashPicture m_Splash;
    QTimer m_Timer;
};
