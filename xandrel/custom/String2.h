// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The String Table dialog (String2): the names of the inputs and outputs in
// ds.dat. Also what it shares with the GUI Config dialog (StringModify): a
// group of labelled boxes for one section of the string table, and the base
// of both editors with their port name groups, "Save String Table" and "Set
// Default".
#include <QDialog>
#include <QGroupBox>
#include <QStringList>
#include <optional>
#include <string>
#include <vector>

#include "xandrel/XandrelExport.h"
#include "xandrel/custom/StringTableFile.h"

class QLineEdit;
class QPushButton;

namespace xandrel::gui {

// The entries of one section of the string table as a group box of labelled
// single-line boxes, box k named "box<first ID + k>", each at least
// `boxChars` average characters wide.
class StringSectionGroup : public QGroupBox {
public:
    StringSectionGroup(StringSection section, const QString& caption, const QStringList& labels, int firstId,
                       int boxChars, QWidget* parent);

    // The boxes show the section's entries of `table`.
    void ShowEntries(const StringTable& table);
    // The boxes' texts, whole, into the section of `table`: the writer cuts
    // them to the section's longest stored entry.
    void TakeEntries(StringTable& table) const;
    // Boxes from `count` on are disabled (ports the model lacks); they still
    // take part in reading, defaults and saving.
    void EnableFirst(int count);
    QLineEdit* box(size_t k) const { return boxes_.at(k); }
    size_t size() const { return boxes_.size(); }

private:
    StringSection section_;
    std::vector<QLineEdit*> boxes_;
};

// The base of the two editors of ds.dat: the model's port counts, the groups
// "Input Port Modify" (boxes 1172 to 1179) and "Output Port Modify" (1157 to
// 1164), and the buttons "Save String Table" (1156) and "Set Default" (1143).
// The opener sets the counts, then shows the dialog; it initialises itself
// each time it is shown. There is no OK or Cancel button: the close box, Esc
// and Enter close the dialog, and none of them saves.
class XANDREL_EXPORT StringTableDialog : public QDialog {
    Q_OBJECT
public:
    void setVisible(bool visible) override;

    int m_InputNumber = 8;
    int m_OutputNumber = 8;

protected:
    StringTableDialog(const QString& caption, QWidget* parent);

    // Fills the dialog from the data files; runs each time it is shown.
    virtual void OnInitDialog() = 0;
    // What the confirmation of a save says: the texts the open window cannot
    // take at once show after a restart.
    virtual QString SavedText() const;
    // What "Set Default" does once the operator confirmed.
    virtual void FillDefaults() = 0;
    // The whole table that "Save String Table" writes.
    virtual StringTable TableToSave() const = 0;

    // Makes `group` one of the dialog's section groups.
    StringSectionGroup* AddGroup(StringSectionGroup* group);
    // Disables the input and output boxes of the ports the model lacks.
    void DisableMissingPorts();
    // `table` with the entries of every group replaced by the boxes' texts.
    StringTable BoxContents(StringTable table = {}) const;
    // Every group shows its section of `table`.
    void ShowInBoxes(const StringTable& table);
    // The data folder, named from the current directory.
    static std::string DataFolderPath();

    void OnSetDefault();
    void OnSaveStringTable();
    void keyPressEvent(QKeyEvent* event) override;

    StringSectionGroup* inputGroup_;
    StringSectionGroup* outputGroup_;
    QPushButton* saveButton_;
    QPushButton* defaultButton_;

private:
    std::vector<StringSectionGroup*> groups_;
};

}  // namespace xandrel::gui

// "String Table": the editor of the input and output names, opened by the
// Setting dialog's "Rename" button. A save rewrites the whole of ds.dat: the
// names from the boxes, the main title as it was read, and every other
// section as the file holds it at the time of the save. The open matrix
// window shows the saved names at once.
class XANDREL_EXPORT String2 : public xandrel::gui::StringTableDialog {
    Q_OBJECT
public:
    static constexpr char kNamesSavedText[] = "The names are saved; the window shows them now.";

    explicit String2(QWidget* parent = nullptr);

    // The first "__title" entry as read when the dialog was shown; none when
    // the file or its "__title" section was missing.
    std::optional<std::string> m_MainTitle;

protected:
    void OnInitDialog() override;
    void FillDefaults() override;
    xandrel::StringTable TableToSave() const override;
    QString SavedText() const override;
};
