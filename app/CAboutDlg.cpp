// SPDX-License-Identifier: GPL-3.0-or-later
#include "CAboutDlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>

#include "ProgramArtwork.h"

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About Quellix"));
    auto* icon = new QLabel(this);
    icon->setPixmap(quellix::art::ProgramIcon().pixmap(48, 48));
    auto* name = new QLabel(QStringLiteral("Quellix, Version 1.0"), this);
    auto* line = new QLabel(tr("A control panel for RS-232 matrix switches."), this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QGridLayout(this);
    layout->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
    layout->addWidget(name, 0, 1);
    layout->addWidget(line, 1, 1);
    layout->addWidget(buttons, 2, 0, 1, 2);
    layout->setHorizontalSpacing(16);
}
