#include "pages/widgetwnet.h"

#include "app/debuglog.h"
#include "link/hostcmd.h"
#include "link/lastread.h"
#include "link/transceiver.h"
#include "settings/recordlayouts.h"
#include "settings/records.h"
#include "ui/messagebox.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimerEvent>
#include <QVBoxLayout>

#include <initializer_list>

namespace {

// "Connected" within the first polls may still be the state from before the
// restart; only a later one ends the polling.
constexpr int kEarlyPolls = 10;

QFormLayout* newForm()
{
    auto* form = new QFormLayout;
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    form->setFormAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return form;
}

} // namespace

WidgetWnet::WidgetWnet(QWidget* parent)
    : QWidget(parent)
    , useApn_(new QCheckBox(tr("Use Specific APN and Dial Number"), this))
    , apn_(new QLineEdit(this))
    , dial_(new QLineEdit(this))
    , restart_(new QPushButton(tr("Restart..."), this))
    , save_(new QPushButton(tr("Save"), this))
    , statusTexts_ {tr("Disabled"), tr("Disabling"), tr("Enabling"), tr("Enabled"), tr("Connected"), tr("Connecting"),
          tr("Ready")}
{
    QFormLayout* statusForm = newForm();
    version_ = addStatusRow(statusForm, tr("Version:"));
    imei_ = addStatusRow(statusForm, tr("IMEI:"));
    iccid_ = addStatusRow(statusForm, tr("ICCID:"));
    imsi_ = addStatusRow(statusForm, tr("IMSI:"));
    mcc_ = addStatusRow(statusForm, tr("MCC:"));
    mnc_ = addStatusRow(statusForm, tr("MNC:"));
    isp_ = addStatusRow(statusForm, tr("ISP:"));
    longitude_ = addStatusRow(statusForm, tr("Longitude:"));
    latitude_ = addStatusRow(statusForm, tr("Latitude:"));
    rssi_ = addStatusRow(statusForm, tr("RSSI:"));
    status_ = addStatusRow(statusForm, tr("Status:"));

    auto* group = new QGroupBox(this);
    QFormLayout* apnForm = newForm();
    auto* apnLabel = new QLabel(tr("APN:"), group);
    auto* dialLabel = new QLabel(tr("Dial Number:"), group);
    apnLabel->setBuddy(apn_);
    dialLabel->setBuddy(dial_);
    apnForm->addRow(apnLabel, apn_);
    apnForm->addRow(dialLabel, dial_);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(useApn_);
    groupLayout->addLayout(apnForm);

    // Nothing is edited yet.
    save_->setEnabled(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(restart_, 0, Qt::AlignRight | Qt::AlignVCenter);
    buttons->addWidget(save_, 0, Qt::AlignRight | Qt::AlignVCenter);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(statusForm);
    layout->addWidget(group);
    layout->addLayout(buttons);
    layout->addStretch();

    setTabOrder(useApn_, apn_);
    setTabOrder(apn_, dial_);
    setTabOrder(dial_, restart_);
    setTabOrder(restart_, save_);

    connect(restart_, &QPushButton::clicked, this, &WidgetWnet::doRestart);
    connect(save_, &QPushButton::clicked, this, &WidgetWnet::doSave);
    connect(useApn_, &QCheckBox::stateChanged, this, &WidgetWnet::onSelfDefinedApnStateChanged);
    connect(useApn_, &QCheckBox::stateChanged, this, &WidgetWnet::onSettingsChanged);
    connect(apn_, &QLineEdit::textChanged, this, &WidgetWnet::onSettingsChanged);
    connect(dial_, &QLineEdit::textChanged, this, &WidgetWnet::onSettingsChanged);

    applyApnFieldRule(useApn_->isChecked());
}

QLineEdit* WidgetWnet::addStatusRow(QFormLayout* form, const QString& text)
{
    auto* label = new QLabel(text, this);
    auto* field = new QLineEdit(this);
    // Selectable and copyable, not editable.
    field->setFrame(false);
    field->setReadOnly(true);
    field->setCursor(Qt::IBeamCursor);
    label->setBuddy(field);
    form->addRow(label, field);
    return field;
}

void WidgetWnet::applyApnFieldRule(bool apnChecked)
{
    const bool enabled = restart_->isEnabled() && apnChecked;
    apn_->setEnabled(enabled);
    dial_->setEnabled(enabled);
}

void WidgetWnet::loadRecord(const QByteArray& record)
{
    using namespace layout::wnet;
    const RecordReader reader(record);
    version_->setText(reader.latin1(kVersion, kVersionWidth));
    imei_->setText(reader.latin1(kImei, kImeiWidth));
    iccid_->setText(reader.latin1(kIccid, kIccidWidth));
    imsi_->setText(reader.latin1(kImsi, kImsiWidth));
    mcc_->setText(reader.latin1(kMcc, kMccWidth));
    mnc_->setText(reader.latin1(kMnc, kMncWidth));
    isp_->setText(reader.latin1(kIsp, kIspWidth));

    const QStringList location = reader.latin1(kLocation, kLocationWidth).split(QLatin1Char(','));
    if (location.size() == 2) {
        longitude_->setText(location.at(0));
        latitude_->setText(location.at(1));
    } else {
        longitude_->clear();
        latitude_->clear();
    }

    if (reader.u16(kRssi) != kRssiNone)
        rssi_->setText(QString::number(reader.i16(kRssi)));
    else
        rssi_->clear();

    const quint16 status = reader.u16(kStatus);
    if (status < statusTexts_.size()) {
        status_->setText(statusTexts_.at(status));
        if (status == Connected && restartCountdown_ < kRestartPolls - kEarlyPolls)
            restartCountdown_ = 0;
    } else {
        status_->clear();
    }

    const quint16 useApn = reader.u16(kUseApn);
    useApn_->setChecked(useApn != 0 && useApn != 0x00FF);
    apn_->setText(reader.latin1(kApn, kApnWidth));
    dial_->setText(reader.latin1(kDial, kDialWidth));
    applyApnFieldRule(useApn_->isChecked());
    save_->setEnabled(false);
}

void WidgetWnet::doRestart()
{
    // The polls that follow reload the APN fields, and the module restarts
    // with what the printer holds.
    if (save_->isEnabled() && !MessageBox::unsavedSettingsMayBeLost(this))
        return;
    if (MessageBox::question(this, tr("Confirmation"), tr("Restart the 4G module?"), QMessageBox::Yes | QMessageBox::No)
        != QMessageBox::Yes)
        return;

    for (QWidget* control : std::initializer_list<QWidget*> {restart_, save_, useApn_, apn_, dial_})
        control->setEnabled(false);
    restartCountdown_ = kRestartPolls;
    if (!hostCmd.restartWnet())
        LOG("4G module restart command not sent");
    if (pollTimer_ != 0)
        killTimer(pollTimer_);
    pollTimer_ = startTimer(pollIntervalMs_);
}

void WidgetWnet::doSave()
{
    save_->setEnabled(false);

    using namespace layout::apn;
    const QByteArray record = RecordWriter(kSize)
                                  .u8(0, layout::code::kWnetApn)
                                  .u8(1, 1)
                                  .u16(kUseApn, useApn_->isChecked() ? 1 : 0)
                                  .text(kApn, layout::wnet::kApnWidth, apn_->text().toLatin1())
                                  .text(kDial, layout::wnet::kDialWidth, dial_->text().toLatin1())
                                  .data();
    if (LastRead::send(lastRead.apn,
            std::decay_t<decltype(lastRead.apn)>::fromCommand(record).value_or(std::decay_t<decltype(lastRead.apn)>()))
        == LastRead::Save::Failed)
        save_->setEnabled(true);
}

void WidgetWnet::onSelfDefinedApnStateChanged(int state)
{
    applyApnFieldRule(state != Qt::Unchecked);
}

void WidgetWnet::onSettingsChanged()
{
    save_->setEnabled(true);
}

void WidgetWnet::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != pollTimer_) {
        QWidget::timerEvent(event);
        return;
    }
    if (restartCountdown_ != 0) {
        // A poll kept off the link by a file upload is not counted: it goes at a later tick.
        if (!hostCmd.requestRecord(layout::readtype::kWnet) && transceiver && transceiver->isHeld())
            return;
        if (--restartCountdown_ > 0)
            return;
    }
    killTimer(pollTimer_);
    pollTimer_ = 0;
    restartCountdown_ = 0;
    restart_->setEnabled(true);
    useApn_->setEnabled(true);
    applyApnFieldRule(useApn_->isChecked());
}
