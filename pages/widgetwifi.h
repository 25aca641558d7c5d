#pragma once

#include "settings/settings.h"

#include <QAbstractSocket>
#include <QByteArray>
#include <QWidget>

class QLineEdit;
class QPushButton;
class NetworkTestPrint;
class QTimerEvent;

// The Wi-Fi addresses and network name of the printer, the network's
// credentials, and a test page printed over the network.
class WidgetWiFi final : public QWidget
{
    Q_OBJECT

public:
    explicit WidgetWiFi(QWidget* parent = nullptr);

    // Enabled while the page holds unsaved changes.
    QPushButton* saveButton() const { return save_; }
    QPushButton* printTestPageButton() const { return printTestPage_; }
    // Fills the page from a network information reply; the dispatch has
    // refreshed the last-read copy already.
    void loadRecord(const QByteArray& record);
    void load(const settings::NetworkInfo& value) { loadRecord(value.bytes()); }
    // The test page as it would print now.
    QByteArray buildTestPage() const;

public Q_SLOTS:
    void doConfigure();
    void doPrintTestPage();
    void doSave();
    void onSettingsChanged();

private:
    QLineEdit* mac_;
    QLineEdit* dhcpAddress_;
    QLineEdit* dhcpNetmask_;
    QLineEdit* staticAddress_;
    QLineEdit* staticNetmask_;
    QLineEdit* ssid_;
    QPushButton* configure_;
    QPushButton* printTestPage_;
    QPushButton* save_;

    NetworkTestPrint* testPrint_;
};
