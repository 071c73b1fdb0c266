#pragma once
// The GUI Config dialog: every text of the string table, the icon and the
// splash picture.
#include <QDialog>

#include "xandrel/XandrelExport.h"

class XANDREL_EXPORT StringModify : public QDialog {
    Q_OBJECT
public:
    explicit StringModify(QWidget* parent = nullptr);

    int m_InputNumber = 8;
    int m_OutputNumber = 8;
};
