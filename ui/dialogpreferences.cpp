#include "ui/dialogpreferences.h"

#include "app/conf.h"
#include "pages/formrows.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QPushButton>
#include <QTextCodec>
#include <QVBoxLayout>

namespace {

// The languages' own names are never translated. They are kept as GBK bytes
// and decoded as GBK whatever the local code page, so they read right
// everywhere; UTF-8 literals stand in where no GBK codec exists.
QString nativeName(const char* gbk, const char* utf8)
{
    if (QTextCodec* codec = QTextCodec::codecForName("GBK"))
        return codec->toUnicode(gbk);
    return QString::fromUtf8(utf8);
}

} // namespace

DialogPreferences::DialogPreferences(QWidget* parent)
    : QDialog(parent)
    , language_(new QComboBox(this))
    , ok_(new QPushButton(tr("&OK"), this))
    , cancel_(new QPushButton(tr("&Cancel"), this))
{
    setWindowTitle(tr("Preferences"));
    setWindowIcon(QIcon(QStringLiteral(":/images/cog.png")));

    // The item index is the stored Language value.
    language_->addItem(tr("English"));
    language_->addItem(
        nativeName("\xBC\xF2\xCC\xE5\xD6\xD0\xCE\xC4", "\xE7\xAE\x80\xE4\xBD\x93\xE4\xB8\xAD\xE6\x96\x87"));
    language_->addItem(nativeName("\xC8\xD5\xB1\xBE\xD5\x5A", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E"));
    // Values outside the list act as English, so they show as English.
    language_->setCurrentIndex(conf.Language >= 0 && conf.Language < language_->count() ? conf.Language : 0);

    auto* form = new QFormLayout;
    form->addRow(tr("&Language:"), language_);

    QHBoxLayout* buttons = formrows::buttonRow({ok_, cancel_});

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);

    connect(ok_, &QPushButton::clicked, this, &DialogPreferences::doOk);
    connect(cancel_, &QPushButton::clicked, this, &DialogPreferences::doCancel);
}

QSize DialogPreferences::sizeHint() const
{
    return QSize(280, 5);
}

int DialogPreferences::languageIndex() const
{
    return language_->currentIndex();
}

void DialogPreferences::doOk()
{
    accept();
}

void DialogPreferences::doCancel()
{
    reject();
}
