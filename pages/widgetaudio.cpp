#include "pages/widgetaudio.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

WidgetAudio::WidgetAudio(QWidget* parent)
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

void WidgetAudio::loadRecord(const QByteArray& record)
{
    Q_UNUSED(record);
}
