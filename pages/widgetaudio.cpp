#include "pages/widgetaudio.h"

#include "app/debuglog.h"
#include "link/hostcmd.h"
#include "link/lastread.h"
#include "settings/recordlayouts.h"
#include "settings/records.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr quint8 kVoiceBit = 0x02;
constexpr quint8 kBeepBit = 0x01;

} // namespace

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

    auto* form = new QFormLayout;
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    form->setFormAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    form->addRow(tr("All Audio:"), all_);
    form->addRow(tr("Cloud Audio:"), cloud_);
    form->addRow(tr("Warning Audio:"), warning_);
    form->addRow(tr("Notice Audio:"), notice_);
    form->addRow(tr("Paper Not Taken Audio:"), notTaken);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(save_, 0, Qt::AlignRight | Qt::AlignVCenter);

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
    for (QCheckBox* box : {all_, cloud_, warning_, notice_, voice_, beep_})
        connect(box, &QCheckBox::stateChanged, this, &WidgetAudio::onSettingsChanged);
}

void WidgetAudio::loadRecord(const QByteArray& record)
{
    using namespace layout::audio;
    const RecordReader reader(record);
    all_->setChecked(reader.u8(kAll) & 0x01);
    cloud_->setChecked(reader.u8(kCloud) & 0x01);
    warning_->setChecked(reader.u8(kWarning) & 0x01);
    notice_->setChecked(reader.u8(kNotice) & 0x01);
    voice_->setChecked(reader.u8(kNotTaken) & kVoiceBit);
    beep_->setChecked(reader.u8(kNotTaken) & kBeepBit);
    // The boxes that changed enabled it.
    save_->setEnabled(false);
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
    using namespace layout::audio;
    save_->setEnabled(false);
    const QByteArray record
        = RecordWriter(kSize)
              .u16(layout::kIdOffset, layout::recordId(layout::code::kAudio))
              .u8(kAll, all_->isChecked() ? 1 : 0)
              .u8(kCloud, cloud_->isChecked() ? 1 : 0)
              .u8(kWarning, warning_->isChecked() ? 1 : 0)
              .u8(kNotice, notice_->isChecked() ? 1 : 0)
              .u8(kNotTaken, quint8((voice_->isChecked() ? kVoiceBit : 0) | (beep_->isChecked() ? kBeepBit : 0)))
              .data();
    if (LastRead::send(lastRead.audio,
            std::decay_t<decltype(lastRead.audio)>::fromCommand(record).value_or(
                std::decay_t<decltype(lastRead.audio)>()))
        == LastRead::Save::Failed)
        save_->setEnabled(true);
}
