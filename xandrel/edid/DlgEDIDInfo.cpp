#include "xandrel/edid/DlgEDIDInfo.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "xandrel/edid/EdidReport.h"

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
