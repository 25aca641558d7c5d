#pragma once

#include "settings/settings.h"

#include <QByteArray>
#include <QString>
#include <QWidget>

#include <array>
#include <functional>

class QComboBox;
class QPushButton;
class QSerialPort;

// The printer's serial port settings, and a test page printed through a
// serial port of this computer with the parameters the page shows.
class WidgetSerial final : public QWidget
{
    Q_OBJECT

public:
    explicit WidgetSerial(QWidget* parent = nullptr);

    // Enabled while the page holds unsaved changes.
    QPushButton* saveButton() const { return save_; }
    QPushButton* printTestPageButton() const { return printTestPage_; }
    // Shows `value` and leaves Save disabled.
    void load(const settings::SerialSettings& value);
    settings::SerialSettings value() const;
    // The test page as it would print now.
    QByteArray buildTestPage() const;

    // Asks the user for the port to print on; returns its name, or an empty
    // name when cancelled. Tests answer with a pseudo-terminal, which the
    // system's port list never shows. An empty chooser restores the dialog.
    using PortChooser = std::function<QString(QWidget* parent)>;
    static void setPortChooser(PortChooser chooser);

    // How long the line needs for `bytes` bytes at the given framing: a start
    // bit, the data bits, a parity bit unless none, and the stop bits.
    static int lineTimeMs(qint64 bytes, qint32 baud, int dataBits, bool parity, int stopBits);
    // Time left to the driver and the adapter after the line time (500 ms);
    // tests shorten it.
    static void setCloseMarginMs(int ms);
    // How long after the line time a port that never reports the page written
    // is given up; tests shorten it.
    static constexpr int kGiveUpMarginMs = 5000;
    static void setGiveUpMarginMs(int ms);

public Q_SLOTS:
    void doPrintTestPage();
    void doPreviewTestPage();
    void doSave();
    void onSettingsChanged();

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    // The combos in the order of the record's fields.
    std::array<QComboBox*, 4> combos() const { return {baudRate_, dataBits_, stopBits_, parity_}; }
    // The print as the button starts it, with the page `source` makes once
    // the port is open.
    void printTestPage(const std::function<QByteArray()>& source);
    void onPortBytesWritten();
    int lineTime() const;
    void stopTimer(int& timer);
    void endTestPrint();

    QComboBox* baudRate_;
    QComboBox* dataBits_;
    QComboBox* stopBits_;
    QComboBox* parity_;
    QPushButton* preview_;
    QPushButton* printTestPage_;
    QPushButton* save_;

    QSerialPort* port_ = nullptr;
    QByteArray testPage_;
    int closeTimer_ = 0;
    int giveUpTimer_ = 0;
};
