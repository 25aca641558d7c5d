#include "pages/widgetwnet.h"

#include "app/debuglog.h"
#include "link/hostcmd.h"
#include "link/lastread.h"
#include "link/transceiver.h"
#include "pages/formrows.h"
#include "ui/messagebox.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTimerEvent>
#include <QVBoxLayout>

#include <initializer_list>
#include <utility>

namespace {

// "Connected" within the first polls may still be the state from before the
// restart; only a later one ends the polling.
constexpr int kEarlyPolls = 10;

} // namespace

WidgetWnet::WidgetWnet(QWidget* parent)
    : QWidget(parent)
    , useApn_(new QCheckBox(tr("Use Specific APN and Dial Number"), this))
    , restart_(new QPushButton(tr("Restart..."), this))
    , save_(new QPushButton(tr("Save"), this))
{
    QFormLayout* statusForm = formrows::newForm();
    version_ = formrows::addReadOnlyRow(this, statusForm, tr("Version:"));
    imei_ = formrows::addReadOnlyRow(this, statusForm, tr("IMEI:"));
    iccid_ = formrows::addReadOnlyRow(this, statusForm, tr("ICCID:"));
    imsi_ = formrows::addReadOnlyRow(this, statusForm, tr("IMSI:"));
    mcc_ = formrows::addReadOnlyRow(this, statusForm, tr("MCC:"));
    mnc_ = formrows::addReadOnlyRow(this, statusForm, tr("MNC:"));
    isp_ = formrows::addReadOnlyRow(this, statusForm, tr("ISP:"));
    longitude_ = formrows::addReadOnlyRow(this, statusForm, tr("Longitude:"));
    latitude_ = formrows::addReadOnlyRow(this, statusForm, tr("Latitude:"));
    rssi_ = formrows::addReadOnlyRow(this, statusForm, tr("RSSI:"));
    status_ = formrows::addReadOnlyRow(this, statusForm, tr("Status:"));

    auto* group = new QGroupBox(this);
    QFormLayout* apnForm = formrows::newForm();
    apn_ = formrows::addEditableRow(group, apnForm, tr("APN:"));
    dial_ = formrows::addEditableRow(group, apnForm, tr("Dial Number:"));
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(useApn_);
    groupLayout->addLayout(apnForm);

    // Nothing is edited yet.
    save_->setEnabled(false);

    QHBoxLayout* buttons = formrows::buttonRow({restart_, save_});

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

void WidgetWnet::applyApnFieldRule(bool apnChecked)
{
    const bool enabled = restart_->isEnabled() && apnChecked;
    apn_->setEnabled(enabled);
    dial_->setEnabled(enabled);
}

void WidgetWnet::load(const settings::WnetStatus& value)
{
    using W = settings::WnetStatus;
    for (const auto& [field, index] : {std::pair {version_, W::Version}, {imei_, W::Imei}, {iccid_, W::Iccid},
             {imsi_, W::Imsi}, {mcc_, W::Mcc}, {mnc_, W::Mnc}, {isp_, W::Isp}})
        field->setText(value.text(index));

    // Longitude and latitude, or nothing when the text is not such a pair.
    const QStringList location = value.text(W::Location).split(QLatin1Char(','));
    longitude_->setText(location.size() == 2 ? location.at(0) : QString());
    latitude_->setText(location.size() == 2 ? location.at(1) : QString());

    rssi_->setText(value.hasRssi() ? QString::number(value.number(W::Rssi)) : QString());

    const qint64 status = value.number(W::Status);
    if (const char* text = value.field(W::Status).choiceText(status)) {
        status_->setText(tr(text));
        if (status == W::Connected && restartCountdown_ < kRestartPolls - kEarlyPolls)
            restartCountdown_ = 0;
    } else {
        status_->clear();
    }

    useApn_->setChecked(value.flag(W::UseApn));
    apn_->setText(value.text(W::Apn));
    dial_->setText(value.text(W::Dial));
    applyApnFieldRule(useApn_->isChecked());
    save_->setEnabled(false);
}

settings::ApnSettings WidgetWnet::value() const
{
    using A = settings::ApnSettings;
    A value;
    value.setFlag(A::UseApn, useApn_->isChecked());
    value.setText(A::Apn, apn_->text());
    value.setText(A::Dial, dial_->text());
    return value;
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
    if (LastRead::send(lastRead.apn, value()) == LastRead::Save::Failed)
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
        if (!hostCmd.requestRecord(settings::WnetStatus::replyId()) && transceiver && transceiver->isHeld())
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
