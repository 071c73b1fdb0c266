// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QDialog>

// "About Quellix": the program icon, its name and version.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};
