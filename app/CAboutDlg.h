#pragma once
#include <QDialog>

// "About Quellix": the program icon, its name and version.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};
