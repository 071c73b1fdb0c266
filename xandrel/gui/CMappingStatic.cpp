// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/gui/CMappingStatic.h"

#include <QPainter>

CMappingStatic::CMappingStatic(LineSource lines, QWidget* parent)
    : QWidget(parent)
    , m_Lines(std::move(lines))
{
}

// A line for every output whose input is known, on a band when the output
// is selected; a prepared routing (take mode) as a dashed line to its input.
// The lines span the display's width, the mapping width.
void CMappingStatic::paintEvent(QPaintEvent*)
{
    const std::vector<OutputLine> lines = m_Lines();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const auto draw = [&painter, right = width()](int output, int input) {
        painter.drawLine(right, RowCentre(output), 0, RowCentre(input - 1));
    };
    painter.setPen(QPen(QColor(255, 255, 50), 3, Qt::SolidLine, Qt::FlatCap));
    for (size_t k = 0; k < lines.size(); ++k)
        if (lines[k].input > 0 && lines[k].selected)
            draw(static_cast<int>(k), lines[k].input);
    painter.setPen(QPen(Qt::black, 1));
    for (size_t k = 0; k < lines.size(); ++k)
        if (lines[k].input > 0)
            draw(static_cast<int>(k), lines[k].input);
    painter.setPen(QPen(QColor(212, 111, 0), 2, Qt::DashLine, Qt::FlatCap));
    for (size_t k = 0; k < lines.size(); ++k)
        if (lines[k].pending > 0)
            draw(static_cast<int>(k), lines[k].pending);
}
