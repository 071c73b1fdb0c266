// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The wiring diagram between the input and output columns: a line from every
// output's row (right edge) to the row of the input it is on (left edge),
// none while that is unknown; selected outputs get a yellow band under their
// line, and a routing prepared in take mode shows as a dashed orange line.
#include <QWidget>
#include <functional>
#include <vector>

#include "xandrel/XandrelExport.h"

class XANDREL_EXPORT CMappingStatic : public QWidget {
    Q_OBJECT
public:
    // What the diagram shows of one output.
    struct OutputLine {
        int input = 0;          // the input it is on (from 1); 0 while unknown
        bool selected = false;  // the output is selected
        int pending = 0;        // the input prepared for it in take mode; 0 when none
    };
    // Asked at every paint for the lines of every output, output 1 first: the
    // diagram keeps no routing of its own.
    using LineSource = std::function<std::vector<OutputLine>()>;

    CMappingStatic(LineSource lines, QWidget* parent);

    // The vertical centre of row k, in the display's own coordinates.
    static int RowCentre(int row) { return 44 * (row + 1) - 28; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    LineSource m_Lines;
};
