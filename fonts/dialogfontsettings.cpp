#include "fonts/dialogfontsettings.h"

#include "app/debuglog.h"
#include "fonts/styleditemdelegatecombobox.h"
#include "fonts/styleditemdelegatespinbox.h"
#include "link/fileupload.h"
#include "link/hostcmd.h"
#include "settings/recordlayouts.h"
#include "settings/records.h"
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

namespace entry = layout::fontentry;

constexpr quint16 kEntryReply = 0x0151;
constexpr quint16 kListingReply = 0x0161;
constexpr int kProgressWidth = 400;
constexpr int kProgressMinimumMs = 1000;
// Where the range slots are kept on a row: the Unicode Ranges cell.
constexpr int kRangesRole = Qt::UserRole;

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

// The range slots up to the end of the list: a first code point of 0 ends it.
QByteArray rangeSlots(const RecordReader& reader)
{
    QByteArray slots;
    for (int slot = 0; slot < entry::kRangeSlots; ++slot) {
        const int offset = entry::kRanges + slot * entry::kRangeSlotSize;
        if (reader.u32(offset) == 0)
            break;
        slots.append(reader.bytes(offset, entry::kRangeSlotSize));
    }
    return slots;
}

quint16 cellU16(const QTableWidget* table, int row, int column)
{
    const QTableWidgetItem* item = table->item(row, column);
    return item ? quint16(item->data(Qt::DisplayRole).toUInt()) : 0;
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
    for (int column = FaceIndexColumn; column <= AdvanceColumn; ++column)
        fontSettings_->setItemDelegateForColumn(column, spinDelegate);

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
    startTimer_ = startTimer(kStartDelayMs, Qt::PreciseTimer);
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

QString DialogFontSettings::rangeText(const QByteArray& ranges)
{
    const RecordReader reader(ranges);
    QString text;
    for (int offset = 0; reader.has(offset, entry::kRangeSlotSize); offset += entry::kRangeSlotSize) {
        if (!text.isEmpty())
            text += QLatin1Char(';');
        text += QStringLiteral("U+%1~U+%2")
                    .arg(reader.u32(offset), 4, 16, QLatin1Char('0'))
                    .arg(reader.u32(offset + 4), 4, 16, QLatin1Char('0'))
                    .toUpper();
    }
    return text;
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
    refreshLockTimer_ = startTimer(kRefreshLockMs, Qt::PreciseTimer);

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
    const RecordReader reader(response);
    switch (reader.u16(layout::kIdOffset)) {
    case kEntryReply:
        if (reader.size() >= entry::kSize)
            addFontSettingsRow(response);
        break;
    case kListingReply:
        if (reader.size() >= layout::fontlisting::kMinLength)
            addInstalledFont(response);
        break;
    default:
        break;
    }
    // The upload's own answers, and the listing that shows its file, once the
    // table holds the row.
    upload_->handleResponse(response);
}

void DialogFontSettings::addFontSettingsRow(const QByteArray& record)
{
    const RecordReader reader(record);
    const int row = fontSettings_->rowCount();
    fontSettings_->insertRow(row);

    auto* enabled = new QTableWidgetItem;
    enabled->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
    enabled->setCheckState(reader.u8(entry::kEnabled) != 0 ? Qt::Checked : Qt::Unchecked);
    enabled->setTextAlignment(Qt::AlignCenter);
    fontSettings_->setItem(row, EnabledColumn, enabled);
    fontSettings_->setItem(
        row, ScriptColumn, textItem(reader.utf8(entry::kScript, entry::kScriptWidth), Qt::AlignLeft, true));
    fontSettings_->setItem(
        row, LanguageColumn, textItem(reader.utf8(entry::kLanguage, entry::kLanguageWidth), Qt::AlignHCenter, true));
    fontSettings_->setItem(
        row, FontColumn, textItem(reader.utf8(entry::kFontFile, entry::kFontFileWidth), Qt::AlignLeft, true));
    fontSettings_->setItem(row, FaceIndexColumn, numberItem(reader.i32(entry::kFaceIndex), true));
    fontSettings_->setItem(row, ThresholdColumn, numberItem(reader.u16(entry::kThreshold), true));
    fontSettings_->setItem(row, PixelWidthColumn, numberItem(reader.u16(entry::kPixelWidth), true));
    fontSettings_->setItem(row, PixelHeightColumn, numberItem(reader.u16(entry::kPixelHeight), true));
    fontSettings_->setItem(row, AdvanceColumn, numberItem(reader.u16(entry::kAdvance), true));
    fontSettings_->setItem(row, CtColumn, numberItem(reader.u8(entry::kCt), false));
    fontSettings_->setItem(row, PxColumn, numberItem(reader.u8(entry::kPx), false));
    fontSettings_->setItem(row, AdColumn, numberItem(reader.u8(entry::kAd), false));
    const QByteArray slots = rangeSlots(reader);
    auto* ranges = textItem(rangeText(slots), Qt::AlignLeft, false);
    ranges->setData(kRangesRole, slots);
    fontSettings_->setItem(row, RangesColumn, ranges);

    fontSettings_->resizeColumnsToContents();
    fontSettings_->resizeRowsToContents();
    // Filling the row fired cellChanged; a row as read is not an edit.
    apply_->setEnabled(false);
}

void DialogFontSettings::addInstalledFont(const QByteArray& record)
{
    const RecordReader reader(record);
    const QString name = reader.utf8(layout::file::kShortPath, layout::file::kPathWidth);
    // The folder's configuration file is not a font.
    if (name.startsWith(QLatin1String("fonts.conf")))
        return;
    // With sorting on, a row would move between setting its two cells.
    installedFonts_->setSortingEnabled(false);
    const int row = installedFonts_->rowCount();
    installedFonts_->insertRow(row);
    installedFonts_->setItem(row, 0, textItem(name, Qt::AlignLeft, false));
    installedFonts_->setItem(row, 1, numberItem(reader.u32(layout::file::kShortSize), false));
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

QByteArray DialogFontSettings::buildEntry(int row) const
{
    const QTableWidgetItem* enabled = fontSettings_->item(row, EnabledColumn);
    const QTableWidgetItem* ranges = fontSettings_->item(row, RangesColumn);
    const QTableWidgetItem* faceIndex = fontSettings_->item(row, FaceIndexColumn);
    // Texts go as UTF-8, as they are read, cut only between characters.
    return RecordWriter(entry::kSize)
        .u8(0, layout::code::kFontTableEntry)
        .u8(1, 1)
        .u8(entry::kEnabled, enabled && enabled->checkState() == Qt::Checked ? 1 : 0)
        .u8(entry::kCt, quint8(cellU16(fontSettings_, row, CtColumn)))
        .u8(entry::kPx, quint8(cellU16(fontSettings_, row, PxColumn)))
        .u8(entry::kAd, quint8(cellU16(fontSettings_, row, AdColumn)))
        .bytes(entry::kScript, utf8Prefix(cellText(fontSettings_, row, ScriptColumn), entry::kScriptWidth - 1))
        .bytes(entry::kLanguage, utf8Prefix(cellText(fontSettings_, row, LanguageColumn), entry::kLanguageWidth - 1))
        .bytes(entry::kFontFile, utf8Prefix(cellText(fontSettings_, row, FontColumn), entry::kFontFileWidth - 1))
        .i32(entry::kFaceIndex, faceIndex ? faceIndex->data(Qt::DisplayRole).toInt() : 0)
        .u16(entry::kThreshold, cellU16(fontSettings_, row, ThresholdColumn))
        .u16(entry::kPixelWidth, cellU16(fontSettings_, row, PixelWidthColumn))
        .u16(entry::kPixelHeight, cellU16(fontSettings_, row, PixelHeightColumn))
        .u16(entry::kAdvance, cellU16(fontSettings_, row, AdvanceColumn))
        .bytes(entry::kRanges, ranges ? ranges->data(kRangesRole).toByteArray() : QByteArray())
        .data();
}

void DialogFontSettings::doApply()
{
    apply_->setEnabled(false);
    hostCmd.beginFontSettings();
    for (int row = 0; row < fontSettings_->rowCount(); ++row)
        hostCmd.sendFontSettingsEntry(buildEntry(row));
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
