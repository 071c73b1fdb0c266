// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/custom/String2.h"

#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "xandrel/gui/Controls.h"
#include "xandrel/gui/MatrixWindowNotices.h"
#include "xandrel/gui/MessageBoxes.h"
#include "xandrel/gui/TextBytes.h"

namespace xandrel::gui {
namespace {

QStringList Numbered(const QString& pattern, int count)
{
    QStringList labels;
    for (int k = 1; k <= count; ++k)
        labels << pattern.arg(k);
    return labels;
}

// Room, in average characters, for a typical port name.
constexpr int kNameChars = 14;

}  // namespace

StringSectionGroup::StringSectionGroup(StringSection section, const QString& caption, const QStringList& labels,
                                       int firstId, int boxChars, QWidget* parent)
    : QGroupBox(caption, parent)
    , section_(section)
{
    auto* form = new QFormLayout(this);
    form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    for (int k = 0; k < labels.size(); ++k) {
        auto* box = new QLineEdit(this);
        box->setObjectName(QStringLiteral("box%1").arg(firstId + k));
        box->setMinimumWidth(boxChars * box->fontMetrics().averageCharWidth());
        auto* label = new QLabel(labels[k], this);
        label->setBuddy(box);
        form->addRow(label, box);
        boxes_.push_back(box);
    }
}

void StringSectionGroup::ShowEntries(const StringTable& table)
{
    const auto entries = table.Entries(section_);
    for (size_t k = 0; k < std::min(entries.size(), boxes_.size()); ++k) {
        boxes_[k]->setText(FromBytes(entries[k]));
        boxes_[k]->setCursorPosition(0);  // a long text shows its beginning
    }
}

void StringSectionGroup::TakeEntries(StringTable& table) const
{
    const auto entries = table.Entries(section_);
    for (size_t k = 0; k < std::min(entries.size(), boxes_.size()); ++k)
        entries[k] = ToBytes(boxes_[k]->text());
}

void StringSectionGroup::EnableFirst(int count)
{
    for (size_t k = 0; k < boxes_.size(); ++k)
        boxes_[k]->setEnabled(static_cast<int>(k) < count);
}

StringTableDialog::StringTableDialog(const QString& caption, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(caption);
    inputGroup_ = AddGroup(new StringSectionGroup(StringSection::Inputs, QStringLiteral("Input Port Modify"),
                                                  Numbered(QStringLiteral("Input%1 :"), 8), 1172, kNameChars, this));
    outputGroup_ = AddGroup(new StringSectionGroup(StringSection::Outputs, QStringLiteral("Output Port Modify"),
                                                   Numbered(QStringLiteral("Output%1 :"), 8), 1157, kNameChars, this));
    saveButton_ = MakeButton(QStringLiteral("Save String Table"), 1156, this);
    defaultButton_ = MakeButton(QStringLiteral("Set Default"), 1143, this);
    connect(saveButton_, &QPushButton::clicked, this, &StringTableDialog::OnSaveStringTable);
    connect(defaultButton_, &QPushButton::clicked, this, &StringTableDialog::OnSetDefault);
}

// Shown afresh, the dialog reads the data files again, as a dialog run
// modally once more would.
void StringTableDialog::setVisible(bool visible)
{
    if (visible && !isVisible())
        OnInitDialog();
    QDialog::setVisible(visible);
}

StringSectionGroup* StringTableDialog::AddGroup(StringSectionGroup* group)
{
    groups_.push_back(group);
    return group;
}

void StringTableDialog::DisableMissingPorts()
{
    inputGroup_->EnableFirst(m_InputNumber);
    outputGroup_->EnableFirst(m_OutputNumber);
}

StringTable StringTableDialog::BoxContents(StringTable table) const
{
    for (const StringSectionGroup* group : groups_)
        group->TakeEntries(table);
    return table;
}

void StringTableDialog::ShowInBoxes(const StringTable& table)
{
    for (StringSectionGroup* group : groups_)
        group->ShowEntries(table);
}

std::string StringTableDialog::DataFolderPath()
{
    return ToBytes(QDir::cleanPath(QDir::current().absoluteFilePath(FromBytes(DataFolder()))));
}

void StringTableDialog::OnSetDefault()
{
    const MessageRequest question{this, QStringLiteral("Are you sure you want to set all table to default?"),
                                  QStringLiteral("Confirm Overwrite"), QMessageBox::Question,
                                  QMessageBox::Ok | QMessageBox::Cancel};
    if (ShowMessage(question) == QMessageBox::Ok)
        FillDefaults();
}

void StringTableDialog::OnSaveStringTable()
{
    std::string error;
    if (!WriteStringTableFile(TableToSave(), error, DataFolderPath())) {
        ShowMessage(MessageRequest{this, FromBytes(error) + QStringLiteral("\nNothing was saved."),
                                   QString::fromLatin1(kSaveConfirmationCaption), QMessageBox::Warning});
        return;
    }
    // The names show in the open matrix window at once; its other texts are
    // read when it is made.
    if (MatrixWindowNotices* window = MatrixWindowNotices::Current())
        window->namesChanged();
    ShowMessage(MessageRequest{this, SavedText(), QString::fromLatin1(kSaveConfirmationCaption)});
}

QString StringTableDialog::SavedText() const
{
    return QString::fromLatin1(kSaveConfirmationText);
}

// Enter closes the dialog, as its default OK command would, unless a button
// has the focus: then it presses that button.
void StringTableDialog::keyPressEvent(QKeyEvent* event)
{
    const bool enter = (!event->modifiers() && event->key() == Qt::Key_Return)
        || ((!event->modifiers() || event->modifiers() == Qt::KeypadModifier) && event->key() == Qt::Key_Enter);
    if (!enter)
        return QDialog::keyPressEvent(event);
    if (auto* button = qobject_cast<QPushButton*>(focusWidget()))
        button->click();
    else
        accept();
}

}  // namespace xandrel::gui

namespace {

// Never an entry: a reader drops the line end from every entry it takes, so
// a title still holding this text after a read was not in the file.
const std::string kTitleNotRead = "\n";

}  // namespace

String2::String2(QWidget* parent)
    : StringTableDialog(QStringLiteral("String Table"), parent)
{
    auto* table = new QGroupBox(QStringLiteral("String Table"), this);
    auto* ports = new QHBoxLayout(table);
    ports->addWidget(inputGroup_);
    ports->addWidget(outputGroup_);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(saveButton_);
    buttons->addWidget(defaultButton_);
    buttons->addStretch();

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(table, 1);
    layout->addLayout(buttons);
}

void String2::OnInitDialog()
{
    DisableMissingPorts();
    m_MainTitle.reset();
    xandrel::StringTable table = BoxContents();
    table.titles[0] = kTitleNotRead;
    if (!xandrel::ReadStringTableFile(xandrel::StringTableReader::StringTableEditor, table, DataFolderPath())) {
        OnSetDefault();
        return;
    }
    if (table.titles[0] != kTitleNotRead)
        m_MainTitle = table.titles[0];
    ShowInBoxes(table);
}

void String2::FillDefaults()
{
    ShowInBoxes(xandrel::DefaultStringTable());
}

// Only the names are this dialog's to change. The toolbar captions, the error
// texts and the other titles may have been edited with the GUI Config
// dialog, so they are kept as the file holds them now; only what the file
// lacks (or all, when there is no file) takes the built-in texts.
xandrel::StringTable String2::TableToSave() const
{
    xandrel::StringTable table = xandrel::DefaultStringTable();
    xandrel::ReadStringTableFile(xandrel::StringTableReader::GuiConfig, table, DataFolderPath());
    table.titles[0] = m_MainTitle.value_or(xandrel::DefaultStringTable().titles[0]);
    return BoxContents(table);
}

QString String2::SavedText() const
{
    return QString::fromLatin1(kNamesSavedText);
}
