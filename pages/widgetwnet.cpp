#include "pages/widgetwnet.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

WidgetWnet::WidgetWnet(QWidget* parent)
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

void WidgetWnet::loadRecord(const QByteArray& record)
{
    Q_UNUSED(record);
}
