// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/gui/CMatrixVideoBar.h"

#include <QActionGroup>
#include <QLayout>
#include <QStyle>
#include <QToolButton>

#include "tavrik/INFOPORTDRIVER.h"
#include "xandrel/custom/StringTableFile.h"
#include "xandrel/device/INFODEVICEMATRIXBASE.h"
#include "xandrel/gui/Controls.h"
#include "xandrel/gui/MatrixCommands.h"
#include "xandrel/gui/TextBytes.h"
#include "xandrel/res/Artwork.h"

namespace {

constexpr int kStripImages = xandrel::art::kToolbarImageCount;

using namespace xandrel::gui;

// The key of each toolbar command, shown in its tool tip.
QKeySequence ShortcutOf(int command)
{
    switch (command) {
    case ID_MATRIX_SETTING: return QKeySequence(Qt::CTRL | Qt::Key_I);
    case ID_MATRIX_SCAN: return QKeySequence(Qt::CTRL | Qt::Key_F);
    case ID_MATRIX_LINKAGE: return QKeySequence(Qt::Key_F5);
    case ID_MATRIX_OPEN: return QKeySequence(Qt::CTRL | Qt::Key_O);
    case ID_MATRIX_CLOSE: return QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O);
    case ID_MATRIX_MAPPING: return QKeySequence(Qt::CTRL | Qt::Key_M);
    case ID_MATRIX_FASTSELECT: return QKeySequence(Qt::CTRL | Qt::Key_G);
    case ID_MATRIX_EDIDINFO: return QKeySequence(Qt::CTRL | Qt::Key_E);
    case ID_MATRIX_PRESETS: return QKeySequence(Qt::CTRL | Qt::Key_P);
    case ID_MATRIX_TAKE: return QKeySequence(Qt::Key_Space);
    default: return {};
    }
}

}  // namespace

namespace {

// `image` with the strip's background colour made `buttonFace`.
QImage OnButtonFace(const QImage& image, const QColor& buttonFace)
{
    QImage onFace = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < onFace.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(onFace.scanLine(y));
        for (int x = 0; x < onFace.width(); ++x)
            if ((line[x] & 0xFFFFFF) == (xandrel::art::kToolbarBackground & 0xFFFFFF))  // the strip's background
                line[x] = buttonFace.rgb();
    }
    return onFace;
}

}  // namespace

QList<QPixmap> CMatrixVideoBar::ButtonImages(const QColor& buttonFace)
{
    const QImage strip = OnButtonFace(xandrel::art::ToolbarStrip(), buttonFace);
    QList<QPixmap> images;
    for (int k = 0; k < kStripImages; ++k)
        images.push_back(QPixmap::fromImage(strip.copy(k * kImageSize, 0, kImageSize, kImageSize)));
    return images;
}

CMatrixVideoBar::CMatrixVideoBar(QWidget* parent)
    : QToolBar(parent)
{
    setObjectName(QStringLiteral("CMatrixVideoBar"));
    setMovable(false);
    setFloatable(false);
    setIconSize(QSize(kImageSize, kImageSize));
    setToolButtonStyle(Qt::ToolButtonTextUnderIcon);

    xandrel::StringTable table = xandrel::DefaultStringTable();
    xandrel::ReadStringTableFile(xandrel::StringTableReader::Toolbar, table, xandrel::gui::DataFolder());
    const auto caption = [&table](int k) { return xandrel::gui::FromBytes(table.toolbar[k]); };
    const QList<QPixmap> images = ButtonImages(palette().color(QPalette::Button));

    addButton(ID_MATRIX_SETTING, caption(0), images[0], tr("Device ID and names (Setting)"));
    addButton(ID_MATRIX_SCAN, caption(1), images[1], tr("Find the device on the serial ports"));
    addButton(ID_MATRIX_LINKAGE, caption(2), images[2], tr("Read the device's routing and input signals"));
    addButton(ID_MATRIX_OPEN, caption(3), images[3], tr("Open the serial port"));
    addButton(ID_MATRIX_CLOSE, caption(4), images[4], tr("Close the serial port"));
    addSeparator();
    addButton(ID_MATRIX_MAPPING, caption(5), images[5], tr("Select the outputs the selected input feeds"));
    addButton(ID_MATRIX_FASTSELECT, caption(6), images[6], tr("Route output 1 to input 1, output 2 to input 2, ..."));
    addButton(ID_MATRIX_EDIDINFO, QStringLiteral("EDID Info."), images[7],
              tr("Manufacturer IDs of the EDIDs at the inputs"));
    addButton(ID_MATRIX_PRESETS, tr("Presets"), images[8],
              tr("Save the routing under a name and recall it; Ctrl+1 ... Ctrl+9 recall the first nine"));
    addButton(ID_MATRIX_TAKE, tr("Take"),
              QPixmap::fromImage(OnButtonFace(xandrel::art::TakeImage(), palette().color(QPalette::Button))),
              tr("Send the prepared routings in one write (take mode); Esc clears them"));
    // The window owns Space (a focused button would take it otherwise).
    m_Actions[ID_MATRIX_TAKE]->setShortcut({});
    SetTakeShown(false, false);

    auto* portGroup = new QActionGroup(this);
    for (int command : {ID_MATRIX_OPEN, ID_MATRIX_CLOSE}) {
        m_Actions[command]->setCheckable(true);
        portGroup->addAction(m_Actions[command]);
    }
    addDropDown(ID_MATRIX_MAPPING, m_MappingMenu);
    addDropDown(ID_MATRIX_FASTSELECT, m_FastSelectMenu);
    addDropDown(ID_MATRIX_PRESETS, m_PresetsMenu);
    UpdatePortButtons(nullptr);
}

void CMatrixVideoBar::addButton(int command, const QString& caption, const QPixmap& image, const QString& text)
{
    const QKeySequence key = ShortcutOf(command);
    const QString tip = QStringLiteral("%1 (%2)").arg(text, key.toString(QKeySequence::NativeText));
    QIcon icon;
    for (QIcon::Mode mode : {QIcon::Normal, QIcon::Active, QIcon::Disabled})
        icon.addPixmap(image, mode);
    QAction* action = addAction(icon, caption);
    action->setToolTip(tip);
    action->setStatusTip(tip);
    action->setShortcut(key);
    action->setData(command);
    connect(action, &QAction::triggered, this, [this, command] { Q_EMIT commandTriggered(command); });
    if (QWidget* button = widgetForAction(action))
        button->setMinimumSize(kButtonWidth, kButtonHeight);
    m_Actions[command] = action;
}

void CMatrixVideoBar::addDropDown(int command, QMenu& menu)
{
    m_Actions[command]->setMenu(&menu);
    if (QToolButton* button = Button(command))
        button->setPopupMode(QToolButton::MenuButtonPopup);
    connect(&menu, &QMenu::aboutToShow, this, [this, command, &menu] { Q_EMIT dropDownRequested(command, menu); });
}

QSize CMatrixVideoBar::FullSize() const
{
    int width = 0;
    int height = kButtonHeight;
    for (QAction* action : actions()) {
        if (!action->isVisible())
            continue;
        if (const QWidget* widget = widgetForAction(action)) {
            const QSize hint = widget->sizeHint().expandedTo(widget->minimumSize());
            width += hint.width() + layout()->spacing();
            height = std::max(height, hint.height());
        }
    }
    const QMargins margins = contentsMargins() + layout()->contentsMargins();
    const int handle =
        style()->pixelMetric(QStyle::PM_ToolBarHandleExtent) + style()->pixelMetric(QStyle::PM_ToolBarItemSpacing);
    return QSize(width + margins.left() + margins.right() + handle, height + margins.top() + margins.bottom());
}

QAction* CMatrixVideoBar::Action(int command) const
{
    const auto found = m_Actions.find(command);
    return found == m_Actions.end() ? nullptr : found->second;
}

QToolButton* CMatrixVideoBar::Button(int command) const
{
    QAction* action = Action(command);
    return action ? qobject_cast<QToolButton*>(widgetForAction(action)) : nullptr;
}

void CMatrixVideoBar::UpdatePortButtons(INFODEVICEMATRIXBASE* model)
{
    const bool open = model && model->m_PortDriver && model->m_PortDriver->GetIsOpen() == 1;
    m_Actions[ID_MATRIX_OPEN]->setChecked(open);
    m_Actions[ID_MATRIX_CLOSE]->setChecked(!open);
}

void CMatrixVideoBar::SetExchangeCommandsEnabled(bool enabled)
{
    m_ExchangesAllowed = enabled;
    for (const auto& [command, action] : m_Actions)
        if (command != ID_MATRIX_MAPPING)
            action->setEnabled(enabled && (command != ID_MATRIX_TAKE || m_TakeReady));
}

void CMatrixVideoBar::SetTakeShown(bool shown, bool ready)
{
    m_TakeReady = ready;
    QAction* take = m_Actions[ID_MATRIX_TAKE];
    take->setVisible(shown);
    take->setEnabled(ready && m_ExchangesAllowed);
}
