// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/connect/CDlgDeviceIDSetting.h"

#include <QDialogButtonBox>
#include <algorithm>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "xandrel/custom/String2.h"
#include "xandrel/device/DeviceWorker.h"
#include "xandrel/device/INFODEVICEMATRIXBASE.h"
#include "xandrel/gui/CommandBracket.h"
#include "xandrel/gui/DeviceExchanges.h"
#include "xandrel/gui/Controls.h"
#include "xandrel/gui/MessageBoxes.h"

namespace {

QGroupBox* Group(const QString& title, QWidget* field, QPushButton* button)
{
    auto* group = new QGroupBox(title);
    auto* row = new QHBoxLayout(group);
    if (field)
        row->addWidget(field, 1);
    row->addWidget(button);
    return group;
}

}  // namespace

CDlgDeviceIDSetting::CDlgDeviceIDSetting()
    : LibraryDialog(QStringLiteral("Setting"))
    , m_GetBox(new QLineEdit)
    , m_SetBox(new QLineEdit)
    , m_GetButton(xandrel::gui::MakeButton(QStringLiteral("Get"), 3000))
    , m_SetButton(xandrel::gui::MakeButton(QStringLiteral("Set"), 3029))
{
    m_GetBox->setObjectName(QStringLiteral("box3030"));
    m_GetBox->setReadOnly(true);
    m_SetBox->setObjectName(QStringLiteral("box3031"));
    m_SetBox->setPlaceholderText(tr("0 to 255"));
    QPushButton* rename = xandrel::gui::MakeButton(QStringLiteral("Rename"), 1142);
    connect(m_GetButton, &QPushButton::clicked, this, &CDlgDeviceIDSetting::OnGet);
    connect(m_SetButton, &QPushButton::clicked, this, &CDlgDeviceIDSetting::OnSet);
    connect(rename, &QPushButton::clicked, this, &CDlgDeviceIDSetting::OnRename);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Group(QStringLiteral("Get Device ID"), m_GetBox, m_GetButton));
    layout->addWidget(Group(QStringLiteral("Set Device ID"), m_SetBox, m_SetButton));
    layout->addWidget(Group(QStringLiteral("GUI String Table"), nullptr, rename));
    layout->addWidget(buttons);
    setMinimumWidth(300);
}

std::optional<BYTE> CDlgDeviceIDSetting::ReadNewId(const QString& text)
{
    const QString digits = text.trimmed();
    const bool onlyDigits = !digits.isEmpty() && digits.size() <= 3
        && std::all_of(digits.begin(), digits.end(), [](QChar c) { return c >= '0' && c <= '9'; });
    const int id = onlyDigits ? digits.toInt() : -1;
    if (id < 0 || id > 255)
        return std::nullopt;
    return static_cast<BYTE>(id);
}

void CDlgDeviceIDSetting::initialise()
{
    LibraryDialog::initialise();
    const QString id = model() ? QString::number(model()->m_DeviceID) : QString();
    m_GetBox->setText(id);
    m_SetBox->setText(id);
}

void CDlgDeviceIDSetting::showBusy(bool busy)
{
    m_GetButton->setEnabled(!busy);
    m_SetButton->setEnabled(!busy);
}

void CDlgDeviceIDSetting::OnGet()
{
    xandrel::gui::DeviceExchanges* runner = exchanges();
    if (!runner)
        return;
    auto answered = std::make_shared<bool>(false);
    QPointer<CDlgDeviceIDSetting> self(this);
    INFODEVICEMATRIXBASE* model = this->model();
    runner->startCommand(
        tr("Reading the device ID..."),
        [answered](xandrel::DeviceWorker& worker) { *answered = worker.model().DEVMA_GetDeviceID() == 1; },
        [self, model, answered] {
            if (self && *answered)
                self->m_GetBox->setText(QString::number(model->m_DeviceID));
            xandrel::gui::EndCommandAfterExchange(model);
        });
}

void CDlgDeviceIDSetting::OnSet()
{
    xandrel::gui::DeviceExchanges* runner = exchanges();
    if (!runner)
        return;
    const std::optional<BYTE> id = ReadNewId(m_SetBox->text());
    if (!id) {
        xandrel::gui::ShowMessage(this,
                                  tr("\"%1\" is no device ID: type a whole number from 0 to 255. "
                                     "Nothing was sent.")
                                      .arg(m_SetBox->text().trimmed()));
        m_SetBox->setFocus();
        m_SetBox->selectAll();
        return;
    }
    runner->runCommand(tr("Setting the device ID..."),
                       [id = *id](INFODEVICEMATRIXBASE& m) { m.DEVMA_SetDeviceID(id); });
}

void CDlgDeviceIDSetting::OnRename()
{
    String2 names(this);
    if (model()) {
        names.m_InputNumber = model()->m_InputNumber;
        names.m_OutputNumber = model()->m_OutputNumber;
    }
    names.exec();
}
