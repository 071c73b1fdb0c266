#include "xandrel/gui/CMappingStatic.h"

#include <QPainter>
#include <QPushButton>

#include "xandrel/gui/CMatrix0001View.h"

CMappingStatic::CMappingStatic(CMatrix0001View* view, QWidget* parent)
    : QWidget(parent)
    , m_View(view)
{
}

void CMappingStatic::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int right = m_View->MappingWidth();
    const int outputs = m_View->OutputCount();
    painter.setPen(QPen(QColor(255, 255, 50), 3, Qt::SolidLine, Qt::FlatCap));
    for (int k = 0; k < outputs; ++k) {
        const int input = m_View->ListSelection(k);
        if (m_View->IsOutputSelected(k))
            painter.drawLine(right, RowCentre(k), 0, RowCentre(input));
    }
    painter.setPen(QPen(Qt::black, 1));
    for (int k = 0; k < outputs; ++k)
        painter.drawLine(right, RowCentre(k), 0, RowCentre(m_View->ListSelection(k)));
}
