#pragma once

#include "settings/settings.h"

#include <QDialog>
#include <QString>

class QLineEdit;
class QPushButton;

// Asks for the name and password of the wireless network the printer is to
// join. It sends nothing itself: the Wi-Fi page reads the two texts.
class DialogConfigureWiFi final : public QDialog
{
    Q_OBJECT

public:
    // Wi-Fi networks have names of at most 32 bytes.
    static constexpr int kMaxSsidBytes = 32;

    explicit DialogConfigureWiFi(QWidget* parent);

    QSize sizeHint() const override;
    QString ssid() const;
    QString password() const;
    QLineEdit* ssidField() const { return ssid_; }
    QLineEdit* passwordField() const { return password_; }
    QPushButton* okButton() const { return ok_; }

    // The credentials as the printer takes them: the SSID in UTF-8 cut
    // between characters, the password in the local code page.
    settings::WifiCredentials value() const;

public Q_SLOTS:
    void doOk();
    void doCancel();
    void onSsidTextChanged(const QString& text);

private:
    QLineEdit* ssid_;
    QLineEdit* password_;
    QPushButton* ok_;
    QPushButton* cancel_;
};
