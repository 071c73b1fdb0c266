#include "xandrel/gui/TrafficLogWindow.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include "xandrel/custom/AtomicFile.h"
#include "xandrel/gui/GuiServices.h"

namespace xandrel::gui {

TrafficLogWindow::TrafficLogWindow(QWidget* parent)
    : QDialog(parent)
    , m_Table(new QTableWidget(0, 4, this))
{
    setWindowTitle(tr("Traffic Log"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    m_Table->setHorizontalHeaderLabels({tr("Time"), tr("What"), tr("Bytes"), tr("Meaning")});
    m_Table->verticalHeader()->hide();
    m_Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_Table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_Table->setWordWrap(false);
    m_Table->horizontalHeader()->setStretchLastSection(true);
    QFont fixed(QStringLiteral("monospace"));
    fixed.setStyleHint(QFont::TypeWriter);
    m_Table->setFont(fixed);
    m_Table->verticalHeader()->setDefaultSectionSize(QFontMetrics(fixed).height() + 6);
    m_Table->setColumnWidth(0, 110);
    m_Table->setColumnWidth(1, 80);
    m_Table->setColumnWidth(2, 360);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* clear = buttons->addButton(tr("Clear"), QDialogButtonBox::ResetRole);
    clear->setAutoDefault(false);
    QPushButton* save = buttons->addButton(tr("Save As Text..."), QDialogButtonBox::ActionRole);
    buttons->addButton(QDialogButtonBox::Close);
    connect(clear, &QPushButton::clicked, this, [this] { m_Table->setRowCount(0); });
    connect(save, &QPushButton::clicked, this, &TrafficLogWindow::SaveAsText);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_Table);
    layout->addWidget(buttons);
    resize(900, 420);
}

TrafficLogWindow::~TrafficLogWindow() = default;

// Lines come on the thread that logs them (the device's worker): each is
// stamped there and handed to the window's thread.
void TrafficLogWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_Listening)
        return;
    QPointer<TrafficLogWindow> self(this);
    m_Listening = std::make_unique<xandrel::traffic::Listening>([self](const xandrel::traffic::Line& line) {
        const QString time = QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz"));
        QMetaObject::invokeMethod(
            self.data(), [self, time, line] { if (self) self->append(time, line); }, Qt::QueuedConnection);
    });
}

void TrafficLogWindow::hideEvent(QHideEvent* event)
{
    m_Listening.reset();
    QDialog::hideEvent(event);
}

void TrafficLogWindow::append(const QString& time, const xandrel::traffic::Line& line)
{
    if (m_Table->rowCount() >= kMaxRows)
        m_Table->removeRow(0);
    const bool atEnd = m_Table->rowCount() == 0
        || m_Table->verticalScrollBar()->value() == m_Table->verticalScrollBar()->maximum();
    const int row = m_Table->rowCount();
    m_Table->insertRow(row);
    const QString fields[] = {time, FromBytes(line.what), FromBytes(line.hex), FromBytes(line.meaning)};
    for (int column = 0; column < 4; ++column)
        m_Table->setItem(row, column, new QTableWidgetItem(fields[column]));
    if (atEnd)
        m_Table->scrollToBottom();
}

QString TrafficLogWindow::Text() const
{
    QString text;
    for (int row = 0; row < m_Table->rowCount(); ++row) {
        QStringList fields;
        for (int column = 0; column < m_Table->columnCount(); ++column)
            if (const QTableWidgetItem* item = m_Table->item(row, column); item && !item->text().isEmpty())
                fields << item->text();
        text += fields.join(QLatin1Char(' ')) + QLatin1Char('\n');
    }
    return text;
}

void TrafficLogWindow::SaveAsText()
{
    const QString path = ChooseFile(this, FileUse::Save, tr("Save Traffic Log"), tr("Text files (*.txt);;All files (*)"));
    if (path.isEmpty())
        return;
    std::string error;
    if (!xandrel::WriteFileAtomically(ToBytes(path), Text().toStdString(), error))
        ShowMessage(this, FromBytes(error));
}

}  // namespace xandrel::gui
