// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/gui/TrafficLogWindow.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include "xandrel/custom/AtomicFile.h"
#include "xandrel/gui/MessageBoxes.h"
#include "xandrel/gui/Prompts.h"
#include "xandrel/gui/TextBytes.h"

namespace xandrel::gui {

TrafficLogWindow::TrafficLogWindow(TrafficHistory& history, QWidget* parent)
    : QDialog(parent)
    , history_(history)
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
    connect(clear, &QPushButton::clicked, this, [this] {
        table_->setRowCount(0);
        history_.clear();
    });
    connect(save, &QPushButton::clicked, this, &TrafficLogWindow::SaveAsText);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_);
    layout->addWidget(buttons);
    resize(900, 420);
}

TrafficLogWindow::~TrafficLogWindow() = default;

// Opening shows the recent past, then the lines as they come.
void TrafficLogWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (following_)
        return;
    table_->setRowCount(0);
    for (const TrafficHistory::Entry& entry : history_.entries())
        append(entry);
    following_ = connect(&history_, &TrafficHistory::added, this, &TrafficLogWindow::append);
}

void TrafficLogWindow::hideEvent(QHideEvent* event)
{
    disconnect(following_);
    following_ = {};
    QDialog::hideEvent(event);
}

void TrafficLogWindow::append(const TrafficHistory::Entry& entry)
{
    if (table_->rowCount() >= kMaxRows)
        table_->removeRow(0);
    const bool atEnd =
        table_->rowCount() == 0 || table_->verticalScrollBar()->value() == table_->verticalScrollBar()->maximum();
    const int row = table_->rowCount();
    table_->insertRow(row);
    const xandrel::traffic::Line& line = entry.line;
    const QString fields[] = {entry.time, FromBytes(line.what), FromBytes(line.hex), FromBytes(line.meaning)};
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
