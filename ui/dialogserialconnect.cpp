#include "ui/dialogserialconnect.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSerialPortInfo>
#include <QVBoxLayout>

#include <utility>

namespace {

QList<DialogSerialConnect::Port> systemPorts()
{
    QList<DialogSerialConnect::Port> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        ports.append({info.description(), info.portName()});
    return ports;
}

DialogSerialConnect::PortSource& portSource()
{
    static DialogSerialConnect::PortSource source = systemPorts;
    return source;
}

} // namespace

DialogSerialConnect::DialogSerialConnect(QWidget* parent)
    : QDialog(parent)
    , port_(new QComboBox(this))
    , ok_(new QPushButton(tr("&OK"), this))
    , cancel_(new QPushButton(tr("C&ancel"), this))
{
    setWindowTitle(tr("Select a Port to Connect"));

    // Read once: ports that appear later are not offered.
    for (const Port& port : portSource()())
        port_->addItem(tr("%1 (%2)").arg(port.description, port.portName), port.portName);

    auto* form = new QFormLayout;
    form->addRow(tr("&Port Name:"), port_);

    // Right to left: Cancel at the right edge, OK beside it.
    auto* buttons = new QHBoxLayout;
    buttons->setDirection(QBoxLayout::RightToLeft);
    buttons->addWidget(cancel_);
    buttons->addWidget(ok_);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);

    connect(ok_, &QPushButton::clicked, this, &DialogSerialConnect::doOk);
    connect(cancel_, &QPushButton::clicked, this, &DialogSerialConnect::doCancel);
}

QSize DialogSerialConnect::sizeHint() const
{
    return QSize(240, 5);
}

void DialogSerialConnect::setPortSource(PortSource source)
{
    portSource() = source ? std::move(source) : PortSource(systemPorts);
}

void DialogSerialConnect::doOk()
{
    // No port to choose: the dialog stays open.
    if (port_->currentText().isEmpty())
        return;
    portName_ = port_->currentData().toString();
    accept();
}

void DialogSerialConnect::doCancel()
{
    portName_.clear();
    reject();
}
