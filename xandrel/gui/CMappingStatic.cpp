#include "xandrel/gui/CMappingStatic.h"

#include <QPainter>
#include <QPushButton>

#include "xandrel/gui/CMatrix0001View.h"

CMappingStatic::CMappingStatic(CMatrix0001View* view, QWidget* parent)
    : QWidget(parent)
    , m_View(view)
{
}

// A line for every output whose input is known, on a band when the output
// is selected; a prepared routing (take mode) as a dashed line to its input.
void CMappingStatic::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int right = m_View->MappingWidth();
    const int outputs = m_View->OutputCount();
    painter.setPen(QPen(QColor(255, 255, 50), 3, Qt::SolidLine, Qt::FlatCap));
    for (int k = 0; k < outputs; ++k)
        if (const int input = m_View->CurrentInput(k); input > 0 && m_View->IsOutputSelected(k))
            painter.drawLine(right, RowCentre(k), 0, RowCentre(input - 1));
    painter.setPen(QPen(Qt::black, 1));
    for (int k = 0; k < outputs; ++k)
        if (const int input = m_View->CurrentInput(k); input > 0)
            painter.drawLine(right, RowCentre(k), 0, RowCentre(input - 1));
    painter.setPen(QPen(QColor(212, 111, 0), 2, Qt::DashLine, Qt::FlatCap));
    for (int k = 0; k < outputs; ++k)
        if (const int input = m_View->PendingInput(k); input > 0)
            painter.drawLine(right, RowCentre(k), 0, RowCentre(input - 1));
}
