#include "pages/widgetdeviceinformation.h"

#include "settings/recordlayouts.h"
#include "settings/records.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

WidgetDeviceInformation::WidgetDeviceInformation(QWidget* parent)
    : QWidget(parent)
{
    auto* form = new QFormLayout;
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    form->setFormAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    model_ = addRow(form, tr("Model:"));
    sn_ = addRow(form, tr("SN:"));
    hwVersion_ = addRow(form, tr("HW Version:"));
    bootloaderVersion_ = addRow(form, tr("Bootloader Version:"));
    fwVersion_ = addRow(form, tr("FW Version:"));
    appVersion_ = addRow(form, tr("TOVRA APP Version:"));
    partnerAppVersion_ = addRow(form, tr("Partner APP Version:"));
    miniAppVersion_ = addRow(form, tr("MiniAPP Version:"));
    fontVersion_ = addRow(form, tr("Font Version:"));
    ttsVersion_ = addRow(form, tr("TTS Version:"));
    btMac_ = addRow(form, tr("Bluetooth MAC Address:"));
    btName_ = addRow(form, tr("Bluetooth Device Name:"));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addStretch();
}

WidgetDeviceInformation::Row WidgetDeviceInformation::addRow(QFormLayout* form, const QString& text)
{
    Row row;
    row.label = new QLabel(text, this);
    row.field = new QLineEdit(this);
    // Selectable and copyable, not editable.
    row.field->setFrame(false);
    row.field->setReadOnly(true);
    row.field->setCursor(Qt::IBeamCursor);
    row.label->setBuddy(row.field);
    form->addRow(row.label, row.field);
    return row;
}

void WidgetDeviceInformation::loadRecord(const QByteArray& record)
{
    using namespace layout::deviceinfo;
    const RecordReader reader(record);
    model_.field->setText(reader.latin1(kModel, kTextWidth));
    sn_.field->setText(reader.latin1(kSn, kSnWidth));
    hwVersion_.field->setText(reader.latin1(kHwVersion, kTextWidth));
    bootloaderVersion_.field->setText(reader.latin1(kBootloaderVersion, kTextWidth));
    fwVersion_.field->setText(reader.latin1(kFwVersion, kTextWidth));
    appVersion_.field->setText(reader.latin1(kAppVersion, kTextWidth));
    partnerAppVersion_.field->setText(reader.latin1(kPartnerAppVersion, kTextWidth));
    miniAppVersion_.field->setText(reader.latin1(kMiniAppVersion, kTextWidth));
    fontVersion_.field->setText(reader.latin1(kFontVersion, kTextWidth));
    ttsVersion_.field->setText(reader.latin1(kTtsVersion, kTextWidth));
}

void WidgetDeviceInformation::loadBluetooth(const QByteArray& record)
{
    using namespace layout::netinfo;
    const RecordReader reader(record);
    btMac_.field->setText(reader.latin1(kBtMac, kMacWidth).toUpper());
    btName_.field->setText(reader.utf8(kBtName, kBtNameWidth));
}

void WidgetDeviceInformation::applyFeatures(const settings::Features& has)
{
    const bool bluetooth = has.bluetooth;
    for (const Row& row : {btMac_, btName_}) {
        row.label->setVisible(bluetooth);
        row.field->setVisible(bluetooth);
    }
}
