#pragma once
// The wiring diagram between the input and output columns: a line from every
// output's row (right edge) to the row of the input it is on (left edge),
// none while that is unknown; selected outputs get a yellow band under their
// line, and a routing prepared in take mode shows as a dashed orange line.
#include <QWidget>

#include "xandrel/XandrelExport.h"

class CMatrix0001View;

class XANDREL_EXPORT CMappingStatic : public QWidget {
    Q_OBJECT
public:
    CMappingStatic(CMatrix0001View* view, QWidget* parent);

    CMatrix0001View* m_View;

    // The vertical centre of row k, in the display's own coordinates.
    static int RowCentre(int row) { return 44 * (row + 1) - 28; }

protected:
    void paintEvent(QPaintEvent* event) override;
};
