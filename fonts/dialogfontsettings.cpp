#include "fonts/dialogfontsettings.h"

#include "app/debuglog.h"
#include "fonts/styleditemdelegatecombobox.h"
#include "fonts/styleditemdelegatespinbox.h"
#include "link/fileupload.h"
#include "link/hostcmd.h"
#include "settings/settings.h"
#include "ui/messagebox.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableWidget>
#include <QThread>
#include <QTimerEvent>
#include <QVBoxLayout>

#include <limits>

namespace {

using settings::FontEntry;
using settings::InstalledFont;

constexpr int kProgressWidth = 400;
constexpr int kProgressMinimumMs = 1000;
// Where a row keeps its entry as read: the Unicode Ranges cell.
constexpr int kEntryRole = Qt::UserRole;

// Which entry field each column shows.
struct ColumnField
{
    int column;
    int field;
};
constexpr ColumnField kTextColumns[] = {{DialogFontSettings::ScriptColumn, FontEntry::Script},
    {DialogFontSettings::LanguageColumn, FontEntry::Language}, {DialogFontSettings::FontColumn, FontEntry::FontFile}};
constexpr ColumnField kNumberColumns[] = {{DialogFontSettings::FaceIndexColumn, FontEntry::FaceIndex},
    {DialogFontSettings::ThresholdColumn, FontEntry::Threshold},
    {DialogFontSettings::PixelWidthColumn, FontEntry::PixelWidth},
    {DialogFontSettings::PixelHeightColumn, FontEntry::PixelHeight},
    {DialogFontSettings::AdvanceColumn, FontEntry::Advance}, {DialogFontSettings::CtColumn, FontEntry::Ct},
    {DialogFontSettings::PxColumn, FontEntry::Px}, {DialogFontSettings::AdColumn, FontEntry::Ad}};

int startDelayMs = DialogFontSettings::kStartDelayMs;
int refreshLockMs = DialogFontSettings::kRefreshLockMs;

DialogFontSettings::FileChooser fileChooser;

QString chooseFontFile(QWidget* parent)
{
    if (fileChooser)
        return fileChooser(parent);
    return QFileDialog::getOpenFileName(parent, DialogFontSettings::tr("Open"), QString(),
        DialogFontSettings::tr("OpenType Fonts (*.ttf *.ttc *.otf);;All Files (*.*)"));
}

QTableWidgetItem* numberItem(qint64 value, bool editable)
{
    auto* item = new QTableWidgetItem;
    item->setData(Qt::DisplayRole, value);
    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    if (!editable)
        item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return item;
}

QTableWidgetItem* textItem(const QString& text, Qt::Alignment horizontal, bool editable)
{
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(horizontal | Qt::AlignVCenter);
    if (!editable)
        item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return item;
}

QString cellText(const QTableWidget* table, int row, int column)
{
    const QTableWidgetItem* item = table->item(row, column);
    return item ? item->text() : QString();
}

} // namespace

void DialogFontSettings::setFileChooser(FileChooser chooser)
{
    fileChooser = std::move(chooser);
}

void DialogFontSettings::setIntervals(int startDelay, int refreshLock)
{
    startDelayMs = startDelay;
    refreshLockMs = refreshLock;
}

DialogFontSettings::DialogFontSettings(QWidget* parent)
    : QDialog(parent)
    , fontSettingsLabel_(new QLabel(tr("Font Settings for Different Languages:"), this))
    , fontSettings_(new QTableWidget(0, ColumnCount, this))
    , installedFontsLabel_(new QLabel(tr("Installed Fonts:"), this))
    , installedFonts_(new QTableWidget(0, 2, this))
    , refresh_(new QPushButton(tr("&Refresh"), this))
    , install_(new QPushButton(tr("&Install Font..."), this))
    , uninstall_(new QPushButton(tr("&Uninstall Font"), this))
    , apply_(new QPushButton(tr("&Apply"), this))
    , reset_(new QPushButton(tr("Reset to &Default"), this))
    , close_(new QPushButton(tr("&Close"), this))
    , senders_(new QWidget(this))
    , upload_(new FileUpload(this))
{
    fontSettings_->setHorizontalHeaderLabels({QString(), tr("Script"), tr("Language"), tr("Font"), tr("Face Index"),
        tr("Threshold"), tr("Pixel Size (W)"), tr("Pixel Size (H)"), tr("Advance"), QStringLiteral("ct"),
        QStringLiteral("px"), QStringLiteral("ad"), tr("Unicode Ranges")});
    fontSettings_->setSortingEnabled(false);
    // The range lists are long; the last column takes what room is left.
    fontSettings_->horizontalHeader()->setStretchLastSection(true);
    fontSettings_->setAlternatingRowColors(true);
    fontSettings_->setEditTriggers(QAbstractItemView::CurrentChanged | QAbstractItemView::SelectedClicked);
    fontSettings_->setSelectionBehavior(QAbstractItemView::SelectRows);
    fontSettings_->setSelectionMode(QAbstractItemView::SingleSelection);
    auto comboDelegate
        = [this] { return new StyledItemDelegateComboBox([this] { return installedFontNames_; }, fontSettings_); };
    fontSettings_->setItemDelegateForColumn(ScriptColumn, comboDelegate());
    fontSettings_->setItemDelegateForColumn(FontColumn, comboDelegate());
    auto* spinDelegate = new StyledItemDelegateSpinBox(fontSettings_);
    for (const ColumnField& number : kNumberColumns) {
        if (number.column <= AdvanceColumn) {
            spinDelegate->setField(number.column, FontEntry().field(number.field));
            fontSettings_->setItemDelegateForColumn(number.column, spinDelegate);
        }
    }

    installedFonts_->setHorizontalHeaderLabels({tr("File Name"), tr("File Size")});
    installedFonts_->setSortingEnabled(true);
    installedFonts_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    installedFonts_->horizontalHeader()->setStretchLastSection(true);
    installedFonts_->setAlternatingRowColors(true);
    installedFonts_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    installedFonts_->setSelectionBehavior(QAbstractItemView::SelectRows);
    installedFonts_->setSelectionMode(QAbstractItemView::SingleSelection);

    auto* senderButtons = new QHBoxLayout(senders_);
    senderButtons->setContentsMargins(0, 0, 0, 0);
    for (QPushButton* button : {refresh_, install_, uninstall_, apply_, reset_})
        senderButtons->addWidget(button);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(senders_);
    buttons->addWidget(close_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fontSettingsLabel_);
    layout->addWidget(fontSettings_, 10);
    layout->addWidget(installedFontsLabel_);
    layout->addWidget(installedFonts_, 0);
    layout->addLayout(buttons);

    connect(refresh_, &QPushButton::clicked, this, &DialogFontSettings::doRefresh);
    connect(install_, &QPushButton::clicked, this, &DialogFontSettings::doAddFont);
    connect(uninstall_, &QPushButton::clicked, this, &DialogFontSettings::doRemoveFont);
    connect(apply_, &QPushButton::clicked, this, &DialogFontSettings::doApply);
    connect(reset_, &QPushButton::clicked, this, &DialogFontSettings::doResetToDefault);
    connect(close_, &QPushButton::clicked, this, &DialogFontSettings::doClose);
    connect(fontSettings_, &QTableWidget::cellChanged, this, &DialogFontSettings::onCellChanged);
    connect(&hostCmd, &HostCmd::responseReceived, this, &DialogFontSettings::handleResponse, Qt::QueuedConnection);

    connect(upload_, &FileUpload::progress, this, &DialogFontSettings::onUploadProgress);
    // The listing that shows the new file refills the table.
    connect(upload_, &FileUpload::verifying, this, &DialogFontSettings::clearInstalledFonts);
    connect(upload_, &FileUpload::finished, this, &DialogFontSettings::endUpload);
    connect(upload_, &FileUpload::refused, this, [this](quint16 status) {
        endUpload();
        MessageBox::warning(this, tr("Install Font"), tr("The printer refused the font file (status %1).").arg(status));
    });
    connect(upload_, &FileUpload::failed, this, [this](const QString& reason) {
        endUpload();
        MessageBox::warning(this, tr("Install Font"), tr("The font was not installed. %1").arg(reason));
    });
    connect(upload_, &FileUpload::cancelled, this, &DialogFontSettings::endUpload);

    refresh_->setEnabled(false);
    // The dialog is on screen before anything is asked of the printer.
    startTimer_ = startTimer(startDelayMs, Qt::PreciseTimer);
    setWindowIcon(QIcon(QStringLiteral(":/images/cog.png")));
    setWindowTitle(tr("Font Settings"));
}

DialogFontSettings::~DialogFontSettings()
{
    // No box may open from a dialog being destroyed, and an open cell editor
    // that commits while the table goes must not reach this half-destroyed dialog.
    upload_->disconnect(this);
    fontSettings_->disconnect(this);
    upload_->cancel();
}

QSize DialogFontSettings::sizeHint() const
{
    return QSize(1280, 1024);
}

void DialogFontSettings::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == startTimer_) {
        // Kept running until the upload lets go of the link.
        if (upload_->isActive())
            return;
        killTimer(startTimer_);
        startTimer_ = 0;
        doRefresh();
    } else if (event->timerId() == refreshLockTimer_) {
        killTimer(refreshLockTimer_);
        refreshLockTimer_ = 0;
        refresh_->setEnabled(true);
    } else {
        QDialog::timerEvent(event);
    }
}

void DialogFontSettings::doRefresh()
{
    refresh_->setEnabled(false);
    if (refreshLockTimer_ != 0)
        killTimer(refreshLockTimer_);
    refreshLockTimer_ = startTimer(refreshLockMs, Qt::PreciseTimer);

    clearFontSettings();
    hostCmd.requestFontSettings();
    // The printer takes the two requests apart more reliably with a pause.
    QThread::msleep(kRequestPauseMs);
    listInstalledFonts();
}

void DialogFontSettings::clearFontSettings()
{
    fontSettings_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    for (int row = fontSettings_->rowCount() - 1; row >= 0; --row)
        fontSettings_->removeRow(row);
}

void DialogFontSettings::clearInstalledFonts()
{
    installedFonts_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    installedFontNames_.clear();
    for (int row = installedFonts_->rowCount() - 1; row >= 0; --row)
        installedFonts_->removeRow(row);
}

void DialogFontSettings::listInstalledFonts()
{
    clearInstalledFonts();
    hostCmd.requestDirectory(QByteArray(kFontFolder));
}

void DialogFontSettings::handleResponse(QByteArray response)
{
    if (const auto entry = FontEntry::fromReply(response))
        addFontSettingsRow(*entry);
    else if (const auto font = InstalledFont::fromReply(response))
        addInstalledFont(*font);
    // The upload's own answers, and the listing that shows its file, once the
    // table holds the row.
    upload_->handleResponse(response);
}

void DialogFontSettings::addFontSettingsRow(const FontEntry& entry)
{
    const int row = fontSettings_->rowCount();
    fontSettings_->insertRow(row);

    auto* enabled = new QTableWidgetItem;
    enabled->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
    enabled->setCheckState(entry.flag(FontEntry::Enabled) ? Qt::Checked : Qt::Unchecked);
    enabled->setTextAlignment(Qt::AlignCenter);
    fontSettings_->setItem(row, EnabledColumn, enabled);
    for (const ColumnField& text : kTextColumns) {
        const Qt::Alignment alignment = text.column == LanguageColumn ? Qt::AlignHCenter : Qt::AlignLeft;
        fontSettings_->setItem(row, text.column, textItem(entry.text(text.field), alignment, true));
    }
    for (const ColumnField& number : kNumberColumns)
        fontSettings_->setItem(
            row, number.column, numberItem(entry.number(number.field), number.column <= AdvanceColumn));
    auto* ranges = textItem(settings::rangesText(entry.rangeSlots()), Qt::AlignLeft, false);
    ranges->setData(kEntryRole, entry.bytes());
    fontSettings_->setItem(row, RangesColumn, ranges);

    fontSettings_->resizeColumnsToContents();
    fontSettings_->resizeRowsToContents();
    // Filling the row fired cellChanged; a row as read is not an edit.
    apply_->setEnabled(false);
}

void DialogFontSettings::addInstalledFont(const InstalledFont& font)
{
    const QString name = font.text(InstalledFont::Name);
    // The folder's configuration file is not a font.
    if (name.startsWith(QLatin1String("fonts.conf")))
        return;
    // With sorting on, a row would move between setting its two cells.
    installedFonts_->setSortingEnabled(false);
    const int row = installedFonts_->rowCount();
    installedFonts_->insertRow(row);
    installedFonts_->setItem(row, 0, textItem(name, Qt::AlignLeft, false));
    installedFonts_->setItem(row, 1, numberItem(font.number(InstalledFont::Size), false));
    installedFonts_->setSortingEnabled(true);
    installedFontNames_.append(name);
    installedFonts_->resizeColumnsToContents();
    installedFonts_->resizeRowsToContents();
}

void DialogFontSettings::onCellChanged(int row, int column)
{
    Q_UNUSED(row);
    Q_UNUSED(column);
    apply_->setEnabled(true);
}

FontEntry DialogFontSettings::entryOf(int row) const
{
    // Built on the entry as read: a number the field refuses (a face index of
    // -1, a pixel width of 128) can only be one the printer sent, and goes
    // back as it came.
    const QTableWidgetItem* ranges = fontSettings_->item(row, RangesColumn);
    FontEntry entry
        = FontEntry::fromCommand(ranges ? ranges->data(kEntryRole).toByteArray() : QByteArray()).value_or(FontEntry());
    const QTableWidgetItem* enabled = fontSettings_->item(row, EnabledColumn);
    entry.setFlag(FontEntry::Enabled, enabled && enabled->checkState() == Qt::Checked);
    for (const ColumnField& text : kTextColumns)
        entry.setText(text.field, cellText(fontSettings_, row, text.column));
    for (const ColumnField& number : kNumberColumns) {
        if (const QTableWidgetItem* item = fontSettings_->item(row, number.column))
            entry.setNumber(number.field, item->data(Qt::DisplayRole).toLongLong());
    }
    // Slots after the end of the list go as zero.
    entry.setRangeSlots(entry.rangeSlots());
    return entry;
}

void DialogFontSettings::doApply()
{
    apply_->setEnabled(false);
    hostCmd.beginFontSettings();
    for (int row = 0; row < fontSettings_->rowCount(); ++row)
        hostCmd.sendFontSettingsEntry(entryOf(row).bytes());
    hostCmd.endFontSettings();
}

void DialogFontSettings::doResetToDefault()
{
    hostCmd.resetFontSettings();
    clearFontSettings();
    hostCmd.requestFontSettings();
}

void DialogFontSettings::doClose()
{
    accept();
}

void DialogFontSettings::done(int result)
{
    // Leaving the printer half way through a file would make it read the
    // next commands as file data: stop the upload properly first, or, where
    // it cannot be stopped, stay until it ends.
    if (upload_->isActive() && !upload_->canCancel())
        return;
    upload_->cancel();
    QDialog::done(result);
}

void DialogFontSettings::doAddFont()
{
    const QString fileName = chooseFontFile(this);
    if (fileName.isEmpty())
        return;
    QFile file(fileName);
    const qint64 size = file.size();
    if (size <= 0 || !file.open(QIODevice::ReadOnly)) {
        LOG("Font file %s not installed: empty or unreadable", qUtf8Printable(fileName));
        return;
    }
    // The printer's size field has 32 bits, and the file is held in memory whole.
    if (quint64(size) > std::numeric_limits<quint32>::max() || size > qint64(std::numeric_limits<int>::max())) {
        MessageBox::warning(this, tr("Install Font"),
            tr("\"%1\" is too large for the printer (%2 bytes).").arg(QFileInfo(fileName).fileName()).arg(size));
        return;
    }
    const QByteArray data = file.readAll();
    file.close();
    if (data.size() != size) {
        LOG("Font file %s not installed: read %d of %lld bytes", qUtf8Printable(fileName), int(data.size()), size);
        return;
    }
    if (!upload_->start(QFileInfo(fileName).fileName(), data)) {
        MessageBox::warning(this, tr("Install Font"), upload_->errorString());
        return;
    }
    senders_->setEnabled(false);
}

void DialogFontSettings::onUploadProgress(qint64 written, qint64 total)
{
    if (!progress_) {
        const bool cancellable = upload_->canCancel();
        progress_ = new QProgressDialog(
            tr("Installing Font..."), cancellable ? tr("Cancel") : QString(), 0, int(total), this);
        progress_->setWindowModality(Qt::WindowModal);
        progress_->setMinimumDuration(kProgressMinimumMs);
        progress_->setFixedWidth(kProgressWidth);
        progress_->setWindowTitle(tr("Progress"));
        // The engine drops the partial file with the printer; a Cancel that
        // only hid the box would leave the transfer running. Without a Cancel
        // button, Escape must not hide the box either.
        if (cancellable)
            connect(progress_, &QProgressDialog::canceled, upload_, &FileUpload::cancel);
        else
            progress_->setCancelButton(nullptr);
    }
    progress_->setValue(int(written));
}

void DialogFontSettings::endUpload()
{
    senders_->setEnabled(true);
    if (!progress_)
        return;
    progress_->disconnect(upload_);
    progress_->hide();
    progress_->deleteLater();
    progress_ = nullptr;
}

void DialogFontSettings::doRemoveFont()
{
    const QList<QTableWidgetItem*> selected = installedFonts_->selectedItems();
    if (selected.isEmpty())
        return;
    const QString name = installedFonts_->item(selected.first()->row(), 0)->text();
    if (MessageBox::question(this, tr("Confirmation"), tr("Are you sure to uninstall  \"%1\"?").arg(name),
            QMessageBox::Yes | QMessageBox::No)
        != QMessageBox::Yes)
        return;
    const QByteArray path = FileUpload::remotePath(name);
    // A cut path would name another file.
    if (path.size() > FileUpload::kMaxPathBytes) {
        MessageBox::warning(
            this, tr("Uninstall Font"), tr("The name of \"%1\" is too long to be uninstalled from here.").arg(name));
        return;
    }
    hostCmd.deleteFile(path);
    listInstalledFonts();
}
