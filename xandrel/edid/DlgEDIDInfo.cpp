// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/edid/DlgEDIDInfo.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTimer>
#include <QVBoxLayout>

#include "xandrel/device/DeviceWorker.h"
#include "xandrel/edid/EdidExchange.h"
#include "xandrel/edid/EdidReport.h"
#include "xandrel/gui/DeviceExchanges.h"
#include "xandrel/gui/Controls.h"

DlgEDIDInfo::DlgEDIDInfo(const std::string& text, QWidget* parent)
    : QDialog(parent)
    , m_Text(text)
    , m_Box(new QPlainTextEdit(this))
{
    setWindowTitle(QStringLiteral("EDID Information"));
    m_Box->setObjectName(QStringLiteral("text"));
    m_Box->setReadOnly(true);
    m_Box->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_Box->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_Box->setPlainText(QString::fromStdString(xandrel::ReportToUtf8(m_Text, xandrel::ReportLineEnds::Platform)));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_Box);
    layout->addWidget(buttons);
    setMinimumSize(420, 360);
    resize(520, 560);
}

QString DlgEDIDInfo::shownText() const
{
    return m_Box->toPlainText();
}

void DlgEDIDInfo::ShowInputIdentities(INFODEVICEMATRIXBASE& model, QWidget* parent)
{
    xandrel::gui::DeviceExchanges& exchanges = xandrel::gui::DeviceExchanges::Of(model);
    if (exchanges.busy())
        return;
    auto pause = std::make_shared<xandrel::gui::DeviceExchanges::PollPause>(exchanges);
    auto report = std::make_shared<std::string>();
    QPointer<QWidget> owner(parent);
    exchanges.startCommand(
        QObject::tr("Reading the EDID identities of the inputs..."),
        [report](xandrel::DeviceWorker& worker) { *report = xandrel::InputManufacturerReport(worker.model()); },
        [report, pause, owner] {
            xandrel::gui::EndWaitCursor();
            // Shown once the worker has the line back; the poll resumes when it closes.
            QTimer::singleShot(0, [report, pause, owner]() mutable {
                {
                    DlgEDIDInfo info(*report, owner.data());
                    info.exec();
                }
                pause.reset();
            });
        });
}
