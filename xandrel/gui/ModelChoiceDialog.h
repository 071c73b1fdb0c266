// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// File > Model...: every model the matrix window can drive, each with its
// kind, its numbers of inputs and outputs and the short name the command
// line takes; the window's own is chosen at first.
#include <QDialog>

#include "xandrel/XandrelExport.h"

class QListWidget;

namespace xandrel {
struct ModelSpec;
}

namespace xandrel::gui {

class XANDREL_EXPORT ModelChoiceDialog : public QDialog {
    Q_OBJECT
public:
    ModelChoiceDialog(const xandrel::ModelSpec* current, QWidget* parent = nullptr);

    // The model chosen in the list; null when none is.
    const xandrel::ModelSpec* Chosen() const;
    QListWidget* list() const { return list_; }

    // "HDMI matrix, 4 inputs x 8 outputs (4x8)", with the mode's name where
    // the model has one ("...(sdi-8): SDI 8 Ports Switch").
    static QString Describe(const xandrel::ModelSpec& model);

private:
    QListWidget* list_;
};

}  // namespace xandrel::gui
