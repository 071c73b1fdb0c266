// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/gui/ScrollingContent.h"

#include <QGuiApplication>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>

namespace xandrel::gui {
namespace {

// Room a window manager's title bar and frame take on the screen.
constexpr int kWindowFrame = 48;

// A scroll area that asks for its whole content (Qt's own asks for no more
// than 36 x 24 lines), so the dialog opens at full size where it fits.
class WholeContentScrollArea : public QScrollArea {
public:
    QSize sizeHint() const override
    {
        const int frame = 2 * frameWidth();
        return widget() ? widget()->sizeHint() + QSize(frame, frame) : QScrollArea::sizeHint();
    }
};

}  // namespace

QScrollArea* ScrollingPage(QWidget* page)
{
    auto* area = new WholeContentScrollArea;
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    area->setWidget(page);
    return area;
}

QWidget* ScrollingContent(QWidget& dialog)
{
    auto* content = new QWidget;
    QScrollArea* area = ScrollingPage(content);
    auto* layout = new QVBoxLayout(&dialog);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(area);
    return content;
}

void SizeForScreen(QWidget& dialog)
{
    const QScreen* screen = dialog.screen() ? dialog.screen() : QGuiApplication::primaryScreen();
    QSize wanted = dialog.sizeHint();
    if (screen) {
        const QSize room = screen->availableGeometry().size() - QSize(0, kWindowFrame);
        // The side that scrolls needs room for its scroll bar.
        const int bar = dialog.style()->pixelMetric(QStyle::PM_ScrollBarExtent);
        if (wanted.height() > room.height())
            wanted.rwidth() += bar;
        if (wanted.width() > room.width())
            wanted.rheight() += bar;
        wanted = wanted.boundedTo(room);
    }
    dialog.resize(wanted);
}

}  // namespace xandrel::gui
