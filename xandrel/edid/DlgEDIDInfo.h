#pragma once
// "EDID Information": shows a ready-made text, the decoded EDID report or the
// list of the inputs' manufacturer IDs.
#include <QDialog>
#include <string>

#include "xandrel/XandrelExport.h"

class QPlainTextEdit;

class XANDREL_EXPORT DlgEDIDInfo : public QDialog {
    Q_OBJECT
public:
    // `text` is report bytes (CR LF lines, code page 950); the dialog keeps a copy.
    explicit DlgEDIDInfo(const std::string& text, QWidget* parent = nullptr);

    std::string m_Text;

    QString shownText() const;

private:
    QPlainTextEdit* m_Box;
};
