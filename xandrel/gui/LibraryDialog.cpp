// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/gui/LibraryDialog.h"

#include <QPointer>

#include "xandrel/gui/DeviceExchanges.h"

namespace xandrel::gui {

LibraryDialog::LibraryDialog(const QString& templateCaption)
{
    setWindowTitle(templateCaption);
}

INFODEVICEMATRIXBASE* LibraryDialog::model() const
{
    return m_GUI ? m_GUI->m_Device : nullptr;
}

DeviceExchanges* LibraryDialog::exchanges() const
{
    INFODEVICEMATRIXBASE* m = model();
    return m ? &DeviceExchanges::Of(*m) : nullptr;
}

void LibraryDialog::initialise()
{
    if (!m_GUIData.m_Title.isEmpty())
        setWindowTitle(m_GUIData.m_Title);
}

void LibraryDialog::showBusy(bool)
{
}

void LibraryDialog::followExchanges()
{
    DeviceExchanges* runner = exchanges();
    if (!runner)
        return;
    connect(runner, &DeviceExchanges::busyChanged, this, &LibraryDialog::showBusy, Qt::UniqueConnection);
    showBusy(runner->busy());
}

void LibraryDialog::prepare(QWidget* parent)
{
    if (parentWidget() != parent)
        setParent(parent, windowFlags() | Qt::Dialog);
    followExchanges();
    initialise();
    initialised_ = true;
}

void LibraryDialog::done(int result)
{
    DeviceExchanges* runner = exchanges();
    if (!runner || runner->idle()) {
        QDialog::done(result);
        return;
    }
    if (closing_)
        return;
    closing_ = true;
    runner->stop();
    QPointer<LibraryDialog> self(this);
    runner->whenIdle([self, result] {
        if (!self)
            return;
        self->closing_ = false;
        self->QDialog::done(result);
    });
}

int LibraryDialog::runModal(QWidget* parent)
{
    prepare(parent);
    return exec();
}

void LibraryDialog::showModeless(QWidget* parent)
{
    if (!initialised_)
        prepare(parent);
    hide();
    show();
}

void LibraryDialog::openFresh(QWidget* parent)
{
    prepare(parent);
    open();
}

}  // namespace xandrel::gui
