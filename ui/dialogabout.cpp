#include "ui/dialogabout.h"

#include "app/diagnostics.h"
#include "app/version.h"
#include "pages/formrows.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

DialogAbout::DialogAbout(QWidget* parent)
    : QDialog(parent)
    , versions_(new QLabel(this))
{
    setWindowTitle(tr("About"));
    setWindowIcon(QIcon(QStringLiteral(":/images/app.png")));

    const diagnostics::Versions versions = diagnostics::Versions::current();
    auto* title = new QLabel(tr("TOVRA Cloud Printer Setup %1").arg(QLatin1String(kProgramVersion)), this);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);

    auto* icon = new QLabel(this);
    icon->setPixmap(QIcon(QStringLiteral(":/images/app.png")).pixmap(48, 48));

    // One label for all three, so that one drag copies them.
    versions_->setText(QStringLiteral("%1\n%2\n%3").arg(versions.qt, versions.openSsl, versions.system));
    versions_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* names
        = new QLabel(QStringLiteral("%1\n%2\n%3").arg(tr("Qt:"), tr("OpenSSL:"), tr("Operating system:")), this);

    auto* ok = new QPushButton(tr("&OK"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* heading = new QHBoxLayout;
    heading->addWidget(icon);
    heading->addWidget(title, 1);
    auto* rows = new QHBoxLayout;
    rows->addWidget(names, 0, Qt::AlignTop);
    rows->addWidget(versions_, 1, Qt::AlignTop);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(heading);
    layout->addLayout(rows);
    layout->addLayout(formrows::buttonRow({ok}));
}
