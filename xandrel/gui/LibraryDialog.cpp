#include "xandrel/gui/LibraryDialog.h"

namespace xandrel::gui {

LibraryDialog::LibraryDialog(const QString& templateCaption)
{
    setWindowTitle(templateCaption);
}

INFODEVICEMATRIXBASE* LibraryDialog::model() const
{
    return m_GUI ? m_GUI->m_Device : nullptr;
}

void LibraryDialog::initialise()
{
    if (!m_GUIData.m_Title.isEmpty())
        setWindowTitle(m_GUIData.m_Title);
}

void LibraryDialog::prepare(QWidget* parent)
{
    if (parentWidget() != parent)
        setParent(parent, windowFlags() | Qt::Dialog);
    initialise();
    initialised_ = true;
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
