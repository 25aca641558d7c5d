#include "pages/dialogconfigurewifi.h"

#include "pages/formrows.h"
#include "ui/messagebox.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

DialogConfigureWiFi::DialogConfigureWiFi(QWidget* parent)
    : QDialog(parent)
    , ssid_(new QLineEdit(this))
    , password_(new QLineEdit(this))
    , ok_(new QPushButton(tr("&OK"), this))
    , cancel_(new QPushButton(tr("&Cancel"), this))
{
    password_->setEchoMode(QLineEdit::Password);

    auto* ssidLabel = new QLabel(tr("&SSID:"), this);
    auto* passwordLabel = new QLabel(tr("&Password:"), this);
    ssidLabel->setBuddy(ssid_);
    passwordLabel->setBuddy(password_);
    auto* form = new QFormLayout;
    form->addRow(ssidLabel, ssid_);
    form->addRow(passwordLabel, password_);

    QHBoxLayout* buttons = formrows::buttonRow({ok_, cancel_});

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);

    setTabOrder(ssid_, password_);
    setTabOrder(password_, ok_);
    setTabOrder(ok_, cancel_);

    connect(ok_, &QPushButton::clicked, this, &DialogConfigureWiFi::doOk);
    connect(cancel_, &QPushButton::clicked, this, &DialogConfigureWiFi::doCancel);
    connect(ssid_, &QLineEdit::textChanged, this, &DialogConfigureWiFi::onSsidTextChanged);

    ok_->setEnabled(false);
    setWindowIcon(QIcon(QStringLiteral(":/images/network_wireless.png")));
    setWindowTitle(tr("Configure Wi-Fi"));
}

QSize DialogConfigureWiFi::sizeHint() const
{
    // The layout's minimum height governs.
    return QSize(400, 5);
}

QString DialogConfigureWiFi::ssid() const
{
    return ssid_->text();
}

QString DialogConfigureWiFi::password() const
{
    return password_->text();
}

settings::WifiCredentials DialogConfigureWiFi::value() const
{
    settings::WifiCredentials credentials;
    credentials.setText(settings::WifiCredentials::Ssid, ssid_->text());
    credentials.setText(settings::WifiCredentials::Password, password_->text());
    return credentials;
}

void DialogConfigureWiFi::doOk()
{
    // A longer name matches no network; the dialog stays open to shorten it.
    if (ssid_->text().toUtf8().size() > kMaxSsidBytes) {
        MessageBox::warning(this, tr("Attention"),
            tr("The SSID is longer than %n bytes. Please enter a shorter one.", nullptr, kMaxSsidBytes));
        ssid_->setFocus();
        return;
    }
    accept();
}

void DialogConfigureWiFi::doCancel()
{
    reject();
}

void DialogConfigureWiFi::onSsidTextChanged(const QString& text)
{
    ok_->setEnabled(!text.isEmpty());
}
