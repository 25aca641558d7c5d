#pragma once

#include "settings/settings.h"

#include <QAbstractSocket>
#include <QByteArray>
#include <QString>
#include <QWidget>

class QFormLayout;
class QLineEdit;
class QPushButton;
class NetworkTestPrint;
class QTimerEvent;
class TestPage;

// Rules the Ethernet and Wi-Fi pages share: their address fields, records
// and test pages work the same way.
namespace netpage {

inline constexpr quint16 kRawPrintPort = 9100;
inline constexpr int kCloseDelayMs = 500;

// The address in dotted form; false for anything that is not IPv4.
bool parseIpv4(const QString& text, quint32* address);
// Neither unparsable nor 0.0.0.0 nor 255.255.255.255.
bool isUsableTarget(const QString& text);
// What Save puts into the static netmask field: the field itself when it
// holds a non-zero netmask, else the DHCP netmask if that does, else /24.
QString filledNetmask(const QString& netmask, const QString& dhcpNetmask);
// The 10-byte address record; unparsable text counts as 0.0.0.0.
QByteArray addressRecord(quint8 code, const QString& address, const QString& netmask);
// Printers with the project name "LQ230" get the shorter test pages.
bool isShortModel();
// A label, the space unless short model, a Latin-1 value and LF.
void appendLine(TestPage& page, const QString& label, const QByteArray& value, bool shortModel);
// An IPv4 value of a network information record in dotted form.
QString ipv4Text(quint32 address);
// A read-only row whose text can still be selected and copied.
QLineEdit* addReadOnlyRow(QWidget* page, QFormLayout* form, const QString& label);
QLineEdit* addEditableRow(QWidget* page, QFormLayout* form, const QString& label);

} // namespace netpage

// The Ethernet addresses of the printer, and a test page printed over the
// network to the address the page shows.
class WidgetLan final : public QWidget
{
    Q_OBJECT

public:
    explicit WidgetLan(QWidget* parent = nullptr);

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
    void doPrintTestPage();
    void doSave();
    void onSettingsChanged();

private:
    QLineEdit* mac_;
    QLineEdit* dhcpAddress_;
    QLineEdit* dhcpNetmask_;
    QLineEdit* staticAddress_;
    QLineEdit* staticNetmask_;
    QPushButton* printTestPage_;
    QPushButton* save_;

    NetworkTestPrint* testPrint_;
};
