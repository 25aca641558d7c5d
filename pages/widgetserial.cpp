#include "pages/widgetserial.h"

#include "app/debuglog.h"
#include "link/hostcmd.h"
#include "link/lastread.h"
#include "link/testpage.h"
#include "pages/formrows.h"
#include "ui/dialogprintpreview.h"
#include "ui/dialogserialconnect.h"
#include "ui/messagebox.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSerialPort>
#include <QTimerEvent>
#include <QVBoxLayout>

#include <utility>

namespace {

int closeMarginMs = 500;
int giveUpMarginMs = WidgetSerial::kGiveUpMarginMs;

QString chooseWithDialog(QWidget* parent)
{
    DialogSerialConnect dialog(parent);
    return dialog.exec() == QDialog::Accepted ? dialog.portName() : QString();
}

WidgetSerial::PortChooser& portChooser()
{
    static WidgetSerial::PortChooser chooser = chooseWithDialog;
    return chooser;
}

} // namespace

WidgetSerial::WidgetSerial(QWidget* parent)
    : QWidget(parent)
    , baudRate_(new QComboBox(this))
    , dataBits_(new QComboBox(this))
    , stopBits_(new QComboBox(this))
    , parity_(new QComboBox(this))
    , preview_(new QPushButton(tr("Preview..."), this))
    , printTestPage_(new QPushButton(tr("Print Test Page..."), this))
    , save_(new QPushButton(tr("Save"), this))
{
    for (int i = 0; i < int(combos().size()); ++i)
        formrows::fillCombo(combos()[size_t(i)], settings::SerialSettings().field(i), "WidgetSerial");

    // Nothing is edited yet.
    save_->setEnabled(false);

    QFormLayout* form = formrows::newForm();
    form->addRow(tr("Baud Rate:"), baudRate_);
    form->addRow(tr("Data Bits:"), dataBits_);
    form->addRow(tr("Stop Bits:"), stopBits_);
    form->addRow(tr("Parity:"), parity_);

    QHBoxLayout* buttons = formrows::buttonRow({preview_, printTestPage_, save_});

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    layout->addStretch();

    setTabOrder(baudRate_, dataBits_);
    setTabOrder(dataBits_, stopBits_);
    setTabOrder(stopBits_, parity_);
    setTabOrder(parity_, preview_);
    setTabOrder(preview_, printTestPage_);
    setTabOrder(printTestPage_, save_);

    connect(printTestPage_, &QPushButton::clicked, this, &WidgetSerial::doPrintTestPage);
    connect(preview_, &QPushButton::clicked, this, &WidgetSerial::doPreviewTestPage);
    connect(save_, &QPushButton::clicked, this, &WidgetSerial::doSave);
    for (QComboBox* combo : combos())
        connect(combo, qOverload<int>(&QComboBox::currentIndexChanged), this, &WidgetSerial::onSettingsChanged);
}

void WidgetSerial::setPortChooser(PortChooser chooser)
{
    portChooser() = chooser ? std::move(chooser) : PortChooser(chooseWithDialog);
}

void WidgetSerial::setCloseMarginMs(int ms)
{
    closeMarginMs = ms;
}

void WidgetSerial::setGiveUpMarginMs(int ms)
{
    giveUpMarginMs = ms;
}

int WidgetSerial::lineTimeMs(qint64 bytes, qint32 baud, int dataBits, bool parity, int stopBits)
{
    if (baud <= 0 || bytes <= 0)
        return 0;
    const qint64 bits = bytes * (1 + dataBits + (parity ? 1 : 0) + stopBits);
    return int((bits * 1000 + baud - 1) / baud);
}

void WidgetSerial::load(const settings::SerialSettings& value)
{
    for (int i = 0; i < int(combos().size()); ++i)
        formrows::selectValue(combos()[size_t(i)], value.number(i));
    // The selections enabled it.
    save_->setEnabled(false);
}

settings::SerialSettings WidgetSerial::value() const
{
    settings::SerialSettings value;
    for (int i = 0; i < int(combos().size()); ++i)
        value.setNumber(i, combos()[size_t(i)]->currentData().toLongLong());
    return value;
}

void WidgetSerial::onSettingsChanged()
{
    save_->setEnabled(true);
}

void WidgetSerial::doSave()
{
    save_->setEnabled(false);
    if (LastRead::send(lastRead.serial, value()) == LastRead::Save::Failed)
        save_->setEnabled(true);
}

void WidgetSerial::doPrintTestPage()
{
    printTestPage([this] { return buildTestPage(); });
}

void WidgetSerial::doPreviewTestPage()
{
    DialogPrintPreview::run(
        buildTestPage(), [this](const QByteArray& page) { printTestPage([page] { return page; }); }, this);
}

void WidgetSerial::printTestPage(const std::function<QByteArray()>& source)
{
    if (port_)
        return;
    const QString portName = portChooser()(this);
    if (portName.isEmpty())
        return;

    port_ = new QSerialPort(portName, this);
    port_->setBaudRate(baudRate_->currentData().toInt(), QSerialPort::AllDirections);
    port_->setDataBits(dataBits_->currentData().toInt() == 7 ? QSerialPort::Data7 : QSerialPort::Data8);
    port_->setStopBits(stopBits_->currentData().toInt() == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop);
    switch (parity_->currentData().toInt()) {
    case 1:
        port_->setParity(QSerialPort::OddParity);
        break;
    case 2:
        port_->setParity(QSerialPort::EvenParity);
        break;
    default:
        port_->setParity(QSerialPort::NoParity);
        break;
    }
    LOG("Serial port created.");

    if (!port_->open(QIODevice::WriteOnly)) {
        port_->deleteLater();
        port_ = nullptr;
        return;
    }
    LOG("Serial port opened.");
    printTestPage_->setEnabled(false);

    QSerialPort* port = port_;
    connect(port, &QSerialPort::bytesWritten, this, &WidgetSerial::onPortBytesWritten);
    connect(port, &QSerialPort::errorOccurred, this, [this, port](QSerialPort::SerialPortError error) {
        if (port != port_ || error == QSerialPort::NoError)
            return;
        LOG("Serial test page: %s", qPrintable(port->errorString()));
        endTestPrint();
    });

    testPage_ = source();
    // `port`, not `port_`: an error reported from inside write() ends the print.
    if (port->write(testPage_) != testPage_.size()) {
        LOG("Serial test page: write failed: %s", qPrintable(port->errorString()));
        endTestPrint();
        return;
    }
    if (!port_)
        return;
    // A port held up by flow control or a stuck adapter may neither write
    // nor fail: without an end of its own it would stay open for good.
    giveUpTimer_ = startTimer(lineTime() + giveUpMarginMs);
}

int WidgetSerial::lineTime() const
{
    return lineTimeMs(testPage_.size(), port_->baudRate(), int(port_->dataBits()),
        port_->parity() != QSerialPort::NoParity, port_->stopBits() == QSerialPort::TwoStop ? 2 : 1);
}

void WidgetSerial::onPortBytesWritten()
{
    if (!port_ || closeTimer_ != 0 || port_->bytesToWrite() > 0)
        return;
    // Every byte has left our hands, but the system may still hold the whole
    // page for the line: closing now would cut its end at slow rates.
    stopTimer(giveUpTimer_);
    closeTimer_ = startTimer(lineTime() + closeMarginMs);
}

void WidgetSerial::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == closeTimer_) {
        endTestPrint();
    } else if (event->timerId() == giveUpTimer_) {
        LOG("Serial test page: not written in time, port closed.");
        // What the port still holds would only hold up its closing.
        if (port_)
            port_->clear(QSerialPort::Output);
        endTestPrint();
        MessageBox::warning(this, tr("Error"), tr("The test page could not be sent through the serial port."));
    } else {
        QWidget::timerEvent(event);
    }
}

void WidgetSerial::stopTimer(int& timer)
{
    if (timer != 0) {
        killTimer(timer);
        timer = 0;
    }
}

void WidgetSerial::endTestPrint()
{
    stopTimer(closeTimer_);
    stopTimer(giveUpTimer_);
    // Cleared first: closing may report an error, which ends the print again.
    if (QSerialPort* port = std::exchange(port_, nullptr)) {
        port->close();
        port->deleteLater();
    }
    printTestPage_->setEnabled(true);
}

QByteArray WidgetSerial::buildTestPage() const
{
    QString parity;
    switch (parity_->currentData().toInt()) {
    case 1:
        parity = tr("Odd Parity");
        break;
    case 2:
        parity = tr("Even Parity");
        break;
    default:
        parity = tr("No Parity");
        break;
    }

    TestPage page;
    page.start().lf().heading().text(tr("*** Serial Print Test Page ***")).lf().body();
    // Labels right-aligned to 14 characters by their leading spaces.
    page.text(tr("   Baud Rate: ")).raw(baudRate_->currentText().toLatin1()).lf();
    page.text(tr("   Data Bits: ")).raw(dataBits_->currentText().toLatin1()).lf();
    page.text(tr("   Stop Bits: ")).raw(stopBits_->currentText().toLatin1()).lf();
    page.text(tr("      Parity: ")).text(parity).lf();
    page.text(tr("Current Time: ")).time().lf(2);
    page.heading().text(tr("*** END ***")).lf().body().end().lf(4);
    // A compact printer needs less paper fed out after the page.
    if (!settings::features(hostCmd.project, hostCmd.model).compact)
        page.lf(4);
    return page.data();
}
