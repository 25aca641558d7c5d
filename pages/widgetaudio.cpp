#include "pages/widgetaudio.h"

#include "link/lastread.h"
#include "pages/formrows.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

WidgetAudio::WidgetAudio(QWidget* parent)
    : QWidget(parent)
    // The label column names these four; a space keeps the box clickable.
    , all_(new QCheckBox(QStringLiteral(" "), this))
    , cloud_(new QCheckBox(QStringLiteral(" "), this))
    , warning_(new QCheckBox(QStringLiteral(" "), this))
    , notice_(new QCheckBox(QStringLiteral(" "), this))
    , voice_(new QCheckBox(tr("Voice"), this))
    , beep_(new QCheckBox(tr("Beep"), this))
    , save_(new QPushButton(tr("Save"), this))
{
    // Nothing is edited yet.
    save_->setEnabled(false);

    auto* notTaken = new QHBoxLayout;
    notTaken->addWidget(voice_);
    notTaken->addWidget(beep_);
    notTaken->addStretch();

    QFormLayout* form = formrows::newForm();
    form->addRow(tr("All Audio:"), all_);
    form->addRow(tr("Cloud Audio:"), cloud_);
    form->addRow(tr("Warning Audio:"), warning_);
    form->addRow(tr("Notice Audio:"), notice_);
    form->addRow(tr("Paper Not Taken Audio:"), notTaken);

    QHBoxLayout* buttons = formrows::buttonRow({save_});

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    layout->addStretch();

    setTabOrder(all_, cloud_);
    setTabOrder(cloud_, warning_);
    setTabOrder(warning_, notice_);
    setTabOrder(notice_, voice_);
    setTabOrder(voice_, beep_);
    setTabOrder(beep_, save_);

    connect(save_, &QPushButton::clicked, this, &WidgetAudio::doSave);
    for (QCheckBox* box : boxes())
        connect(box, &QCheckBox::stateChanged, this, &WidgetAudio::onSettingsChanged);
}

void WidgetAudio::load(const settings::AudioSettings& value)
{
    for (int i = 0; i < int(boxes().size()); ++i)
        boxes()[size_t(i)]->setChecked(value.flag(i));
    // The boxes that changed enabled it.
    save_->setEnabled(false);
}

settings::AudioSettings WidgetAudio::value() const
{
    settings::AudioSettings value;
    for (int i = 0; i < int(boxes().size()); ++i)
        value.setFlag(i, boxes()[size_t(i)]->isChecked());
    return value;
}

void WidgetAudio::onSettingsChanged()
{
    // The other prompts keep their states while all audio is off.
    for (QCheckBox* box : {cloud_, warning_, notice_, voice_, beep_})
        box->setEnabled(all_->isChecked());
    save_->setEnabled(true);
}

void WidgetAudio::doSave()
{
    save_->setEnabled(false);
    if (LastRead::send(lastRead.audio, value()) == LastRead::Save::Failed)
        save_->setEnabled(true);
}
