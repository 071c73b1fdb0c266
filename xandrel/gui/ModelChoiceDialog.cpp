// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/gui/ModelChoiceDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "xandrel/device/ModelCatalog.h"

namespace xandrel::gui {
namespace {

constexpr int kModelRole = Qt::UserRole + 1;  // the model's index in the catalog

QString Kind(xandrel::ModelFamily family)
{
    switch (family) {
    case xandrel::ModelFamily::SdiSwitch: return QObject::tr("SDI switch");
    case xandrel::ModelFamily::VgaSwitch: return QObject::tr("VGA switch");
    case xandrel::ModelFamily::VgaMatrix: return QObject::tr("VGA matrix");
    case xandrel::ModelFamily::Hdmi4x4:
    case xandrel::ModelFamily::Hdmi8x8: break;
    }
    return QObject::tr("HDMI matrix");
}

}  // namespace

QString ModelChoiceDialog::Describe(const xandrel::ModelSpec& model)
{
    QString text = QObject::tr("%1, %2 inputs x %3 (%4)")
                       .arg(Kind(model.family))
                       .arg(model.inputs)
                       .arg(model.outputs == 1 ? QObject::tr("1 output") : QObject::tr("%1 outputs").arg(model.outputs))
                       .arg(QString::fromLatin1(model.shortName));
    if (*model.displayName)
        text += QStringLiteral(": ") + QString::fromLatin1(model.displayName);
    return text;
}

ModelChoiceDialog::ModelChoiceDialog(const xandrel::ModelSpec* current, QWidget* parent)
    : QDialog(parent)
    , list_(new QListWidget(this))
{
    setWindowTitle(tr("Model"));
    list_->setObjectName(QStringLiteral("models"));
    const auto& models = xandrel::AllModels();
    for (size_t k = 0; k < models.size(); ++k) {
        auto* item = new QListWidgetItem(Describe(models[k]), list_);
        item->setData(kModelRole, static_cast<int>(k));
        item->setToolTip(QString::fromLatin1(models[k].className));
        if (&models[k] == current)
            list_->setCurrentItem(item);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(tr("Open"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(list_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("The window drives the model chosen here; it reopens for it."), this));
    layout->addWidget(list_);
    layout->addWidget(buttons);
    list_->setMinimumWidth(list_->sizeHintForColumn(0) + 40);
    list_->setMinimumHeight(list_->sizeHintForRow(0) * static_cast<int>(models.size()) + 8);
}

const xandrel::ModelSpec* ModelChoiceDialog::Chosen() const
{
    const QListWidgetItem* item = list_->currentItem();
    return item ? &xandrel::AllModels()[static_cast<size_t>(item->data(kModelRole).toInt())] : nullptr;
}

}  // namespace xandrel::gui
