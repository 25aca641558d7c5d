#include "ui/dialogimportsettings.h"

#include "pages/formrows.h"
#include "settings/settingsfile.h"

#include <QHeaderView>
#include <QIcon>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

// As the file writes it: texts bare, numbers whole, the font table compact.
QString valueText(const QString& name, const QJsonValue& value)
{
    if (value.isUndefined() || value.isNull())
        return QString();
    if (name == QLatin1String("wifi.password"))
        return QStringLiteral("********");
    if (value.isString())
        return value.toString();
    if (value.isBool())
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    if (value.isDouble())
        return QString::number(value.toDouble(), 'g', 16);
    const QJsonDocument document = value.isArray() ? QJsonDocument(value.toArray()) : QJsonDocument(value.toObject());
    return QString::fromUtf8(document.toJson(QJsonDocument::Compact));
}

QTableWidgetItem* item(const QString& text)
{
    auto* cell = new QTableWidgetItem(text);
    cell->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    // A long value (the font table) is elided in its cell.
    cell->setToolTip(text);
    return cell;
}

} // namespace

DialogImportSettings::DialogImportSettings(const settings::Plan& plan, QWidget* parent)
    : QDialog(parent)
    , changes_(new QTableWidget(int(plan.changes.size()), ColumnCount, this))
    , notes_(new QLabel(plan.notes.join(QLatin1Char('\n')), this))
    , ok_(new QPushButton(tr("&OK"), this))
    , cancel_(new QPushButton(tr("&Cancel"), this))
{
    setWindowTitle(tr("Import Settings"));
    setWindowIcon(QIcon(QStringLiteral(":/images/gzoom.png")));

    changes_->setHorizontalHeaderLabels({tr("Setting"), tr("Printer"), tr("File")});
    changes_->verticalHeader()->hide();
    changes_->setSelectionBehavior(QAbstractItemView::SelectRows);
    changes_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    changes_->horizontalHeader()->setSectionResizeMode(NameColumn, QHeaderView::ResizeToContents);
    changes_->horizontalHeader()->setSectionResizeMode(CurrentColumn, QHeaderView::Stretch);
    changes_->horizontalHeader()->setSectionResizeMode(FileColumn, QHeaderView::Stretch);
    for (int row = 0; row < changes_->rowCount(); ++row) {
        const settings::Change& change = plan.changes[size_t(row)];
        changes_->setItem(row, NameColumn, item(change.name));
        changes_->setItem(row, CurrentColumn, item(valueText(change.name, change.before)));
        changes_->setItem(row, FileColumn, item(valueText(change.name, change.after)));
    }
    notes_->setWordWrap(true);
    notes_->setVisible(!plan.notes.isEmpty());

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("These settings will change on the printer:"), this));
    layout->addWidget(changes_);
    layout->addWidget(notes_);
    layout->addLayout(formrows::buttonRow({ok_, cancel_}));

    connect(ok_, &QPushButton::clicked, this, &DialogImportSettings::doOk);
    connect(cancel_, &QPushButton::clicked, this, &DialogImportSettings::doCancel);
    ok_->setDefault(true);
}

QSize DialogImportSettings::sizeHint() const
{
    return QSize(560, 360);
}

void DialogImportSettings::doOk()
{
    accept();
}

void DialogImportSettings::doCancel()
{
    reject();
}
