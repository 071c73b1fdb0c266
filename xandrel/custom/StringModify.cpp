#include "xandrel/custom/StringModify.h"

StringModify::StringModify(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("GUI Config"));
}
