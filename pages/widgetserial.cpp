#include "pages/widgetserial.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

WidgetSerial::WidgetSerial(QWidget* parent)
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

void WidgetSerial::loadRecord(const QByteArray& record)
{
    Q_UNUSED(record);
}
