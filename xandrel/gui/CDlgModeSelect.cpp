// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/gui/CDlgModeSelect.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "xandrel/device/ModelRegistry.h"

CDlgModeSelect::CDlgModeSelect()
    : m_ModeList(new QComboBox)
    , m_DontShow(new QCheckBox(QStringLiteral("Don't visible when start software every time.")))
{
    setWindowTitle(QStringLiteral("Mode Select"));
    m_ModeList->setObjectName(QStringLiteral("list3033"));
    m_DontShow->setObjectName(QStringLiteral("check3032"));
    m_ModeList->setEditable(true);
    m_ModeList->setInsertPolicy(QComboBox::NoInsert);
    m_ModeList->setMaxVisibleItems(11);
    for (uint32_t position = 0; position < D_MatrixModeNumber; ++position)
        m_ModeList->addItem(QString::fromUtf8(D_MatrixModeName[D_MatrixModeMapping[position]]));
    m_ModeList->setCurrentIndex(0);

    auto* group = new QGroupBox(QStringLiteral("Device Mode"));
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(m_ModeList);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &CDlgModeSelect::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CDlgModeSelect::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(m_DontShow);
    layout->addWidget(buttons);
    setMinimumWidth(340);
}

bool CDlgModeSelect::RememberChoice() const
{
    return m_DontShow->isChecked();
}

// The entry whose text the field holds; typed text that names none gives no mode.
void CDlgModeSelect::accept()
{
    const int entry = m_ModeList->findText(m_ModeList->currentText(), Qt::MatchExactly);
    m_Mode = entry >= 0 ? static_cast<uint32_t>(entry) : kNoMode;
    QDialog::accept();
}
