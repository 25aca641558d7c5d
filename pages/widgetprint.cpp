#include "pages/widgetprint.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

WidgetPrint::WidgetPrint(QWidget* parent)
    : QWidget(parent)
    , save_(new QPushButton(tr("Save"), this))
{
    // Nothing is edited yet.
    save_->setEnabled(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(save_, 0, Qt::AlignRight | Qt::AlignVCenter);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addStretch();
}

void WidgetPrint::loadRecord(const QByteArray& record)
{
    Q_UNUSED(record);
}

void WidgetPrint::applyModel(const QString& project, const QString& model)
{
    Q_UNUSED(project);
    Q_UNUSED(model);
}
