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
    , table_(new QTableWidget(0, 4, this))
{
    setWindowTitle(tr("Traffic Log"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    table_->setHorizontalHeaderLabels({tr("Time"), tr("What"), tr("Bytes"), tr("Meaning")});
    table_->verticalHeader()->hide();
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setWordWrap(false);
    table_->horizontalHeader()->setStretchLastSection(true);
    QFont fixed(QStringLiteral("monospace"));
    fixed.setStyleHint(QFont::TypeWriter);
    table_->setFont(fixed);
    table_->verticalHeader()->setDefaultSectionSize(QFontMetrics(fixed).height() + 6);
    table_->setColumnWidth(0, 110);
    table_->setColumnWidth(1, 80);
    table_->setColumnWidth(2, 360);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* clear = buttons->addButton(tr("Clear"), QDialogButtonBox::ResetRole);
    clear->setAutoDefault(false);
    QPushButton* save = buttons->addButton(tr("Save As Text..."), QDialogButtonBox::ActionRole);
    buttons->addButton(QDialogButtonBox::Close);
    connect(clear, &QPushButton::clicked, this, [this] { table_->setRowCount(0); });
    connect(save, &QPushButton::clicked, this, &TrafficLogWindow::SaveAsText);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_);
    layout->addWidget(buttons);
    resize(900, 420);
}

TrafficLogWindow::~TrafficLogWindow() = default;

// Lines come on the thread that logs them (the device's worker): each is
// stamped there and handed to the window's thread.
void TrafficLogWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (listening_)
        return;
    QPointer<TrafficLogWindow> self(this);
    listening_ = std::make_unique<xandrel::traffic::Listening>([self](const xandrel::traffic::Line& line) {
        const QString time = QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz"));
        QMetaObject::invokeMethod(
            self.data(),
            [self, time, line] {
                if (self)
                    self->append(time, line);
            },
            Qt::QueuedConnection);
    });
}

void TrafficLogWindow::hideEvent(QHideEvent* event)
{
    listening_.reset();
    QDialog::hideEvent(event);
}

void TrafficLogWindow::append(const QString& time, const xandrel::traffic::Line& line)
{
    if (table_->rowCount() >= kMaxRows)
        table_->removeRow(0);
    const bool atEnd =
        table_->rowCount() == 0 || table_->verticalScrollBar()->value() == table_->verticalScrollBar()->maximum();
    const int row = table_->rowCount();
    table_->insertRow(row);
    const QString fields[] = {time, FromBytes(line.what), FromBytes(line.hex), FromBytes(line.meaning)};
    for (int column = 0; column < 4; ++column)
        table_->setItem(row, column, new QTableWidgetItem(fields[column]));
    if (atEnd)
        table_->scrollToBottom();
}

QString TrafficLogWindow::Text() const
{
    QString text;
    for (int row = 0; row < table_->rowCount(); ++row) {
        QStringList fields;
        for (int column = 0; column < table_->columnCount(); ++column)
            if (const QTableWidgetItem* item = table_->item(row, column); item && !item->text().isEmpty())
                fields << item->text();
        text += fields.join(QLatin1Char(' ')) + QLatin1Char('\n');
    }
    return text;
}

void TrafficLogWindow::SaveAsText()
{
    const QString path =
        ChooseFile(this, FileUse::Save, tr("Save Traffic Log"), tr("Text files (*.txt);;All files (*)"));
    if (path.isEmpty())
        return;
    std::string error;
    if (!xandrel::WriteFileAtomically(ToBytes(path), Text().toStdString(), error))
        ShowMessage(this, FromBytes(error));
}

}  // namespace xandrel::gui
