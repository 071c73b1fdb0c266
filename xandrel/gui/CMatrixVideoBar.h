// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The matrix window's toolbar: nine large captioned buttons (Setting, Scan,
// Linkage, the Open/Close pair, Mapping and Fast Select with drop-down
// arrows, EDID Info.), captions from ds.dat, images from the toolbar strip;
// then Presets, and Take, shown in take mode only.
#include <QMenu>
#include <QToolBar>
#include <map>

#include "xandrel/XandrelExport.h"

class INFODEVICEMATRIXBASE;
class QToolButton;

class XANDREL_EXPORT CMatrixVideoBar : public QToolBar {
    Q_OBJECT
public:
    static constexpr int kButtonWidth = 80;
    static constexpr int kButtonHeight = 54;
    static constexpr int kImageSize = 32;

    explicit CMatrixVideoBar(QWidget* parent = nullptr);

    // Open pressed while the model's port is open, Close pressed otherwise.
    void UpdatePortButtons(INFODEVICEMATRIXBASE* model);
    // Every command that talks to the device (all but Mapping), enabled or
    // not: not while another command's exchange is under way.
    void SetExchangeCommandsEnabled(bool enabled);
    // Take: shown in take mode, enabled while routings are prepared (and no
    // other command's exchange is under way).
    void SetTakeShown(bool shown, bool ready);

    // The size that shows every button without the overflow arrow.
    QSize FullSize() const;

    QAction* Action(int command) const;
    QToolButton* Button(int command) const;

    // The strip's images with its background colour made the button face's.
    static QList<QPixmap> ButtonImages(const QColor& buttonFace);

Q_SIGNALS:
    void commandTriggered(int command);
    void dropDownRequested(int command, QMenu& menu);

private:
    void addButton(int command, const QString& caption, const QPixmap& image, const QString& tip);
    void addDropDown(int command, QMenu& menu);

    std::map<int, QAction*> m_Actions;
    QMenu m_MappingMenu;
    QMenu m_FastSelectMenu;
    QMenu m_PresetsMenu;
    bool m_ExchangesAllowed = true;
    bool m_TakeReady = false;
};
