#include "pages/widgetdeviceinformation.h"

#include "pages/formrows.h"

#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

WidgetDeviceInformation::WidgetDeviceInformation(QWidget* parent)
    : QWidget(parent)
    , form_(formrows::newForm())
{
    // In the order of settings::DeviceInfo's fields.
    for (const QString& label : {tr("Model:"), tr("SN:"), tr("HW Version:"), tr("Bootloader Version:"),
             tr("FW Version:"), tr("TOVRA APP Version:"), tr("Partner APP Version:"), tr("MiniAPP Version:"),
             tr("Font Version:"), tr("TTS Version:")})
        versions_.append(formrows::addReadOnlyRow(this, form_, label));
    btMac_ = formrows::addReadOnlyRow(this, form_, tr("Bluetooth MAC Address:"));
    btName_ = formrows::addReadOnlyRow(this, form_, tr("Bluetooth Device Name:"));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form_);
    layout->addStretch();
}

void WidgetDeviceInformation::load(const settings::DeviceInfo& value)
{
    for (int i = 0; i < versions_.size(); ++i)
        versions_.at(i)->setText(value.text(i));
}

void WidgetDeviceInformation::loadBluetooth(const settings::NetworkInfo& value)
{
    btMac_->setText(value.text(settings::NetworkInfo::BluetoothMac).toUpper());
    btName_->setText(value.text(settings::NetworkInfo::BluetoothName));
}

void WidgetDeviceInformation::applyFeatures(const settings::Features& has)
{
    for (QLineEdit* field : {btMac_, btName_}) {
        field->setVisible(has.bluetooth);
        form_->labelForField(field)->setVisible(has.bluetooth);
    }
}
