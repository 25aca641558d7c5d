#pragma once

#include "link/lastread.h"
#include "settings/settings.h"

#include <QByteArray>
#include <QWidget>

#include <functional>

class QLineEdit;
class QPushButton;

// The page the Ethernet and Wi-Fi tabs share: a network's addresses from the
// network information reply, its static address saved on request, and a test
// page printed over the network to the address the page shows.
class WidgetNetwork : public QWidget
{
    Q_OBJECT

public:
    // Enabled while the page holds unsaved changes.
    QPushButton* saveButton() const { return save_; }
    QPushButton* printTestPageButton() const { return printTestPage_; }
    // Shows the network's share of the reply and leaves Save disabled.
    void load(const settings::NetworkInfo& value);
    // The test page as it would print now.
    QByteArray buildTestPage() const;

public Q_SLOTS:
    void doPrintTestPage();
    void doPreviewTestPage();
    void doSave();
    void onSettingsChanged();

protected:
    enum class Medium { Ethernet, WiFi };
    WidgetNetwork(Medium medium, QWidget* parent);

    // Sends the page's value if it differs from its last-read copy.
    virtual LastRead::Save send() = 0;
    // The static address and netmask as the fields give them; unparsable
    // text counts as 0.0.0.0.
    template <class Address> Address staticAddress() const
    {
        Address value;
        readStaticFields(value, Address::StaticIp, Address::StaticNetmask);
        return value;
    }

    // The Wi-Fi flavour's network name row and "Configure SSID..."; null on Ethernet.
    QLineEdit* ssid_ = nullptr;
    QPushButton* configure_ = nullptr;

private:
    void readStaticFields(settings::Record& value, int addressField, int netmaskField) const;
    // The print as the button starts it, with the page `source` makes.
    void printTestPage(std::function<QByteArray()> source);

    Medium medium_;
    QLineEdit* mac_;
    QLineEdit* dhcpAddress_;
    QLineEdit* dhcpNetmask_;
    QLineEdit* staticAddress_;
    QLineEdit* staticNetmask_;
    QPushButton* preview_;
    QPushButton* printTestPage_;
    QPushButton* save_;
};

// The Ethernet addresses of the printer.
class WidgetLan final : public WidgetNetwork
{
    Q_OBJECT

public:
    explicit WidgetLan(QWidget* parent = nullptr);
    settings::EthernetAddress value() const { return staticAddress<settings::EthernetAddress>(); }

private:
    LastRead::Save send() override { return LastRead::send(lastRead.ethernetAddress, value()); }
};
