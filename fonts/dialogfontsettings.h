#pragma once

#include <QByteArray>
#include <QDialog>
#include <QPointer>
#include <QProgressDialog>
#include <QStringList>

#include <functional>

namespace settings {
class FontEntry;
class InstalledFont;
} // namespace settings

class FileUpload;
class QLabel;
class QProgressDialog;
class QPushButton;
class QTableWidget;

// Which font file the printer uses for which script and how it renders it,
// per language (upper table), and the font files in the printer's font
// folder (lower table), with installing and uninstalling them.
class DialogFontSettings final : public QDialog
{
    Q_OBJECT

public:
    enum Column {
        EnabledColumn,
        ScriptColumn,
        LanguageColumn,
        FontColumn,
        FaceIndexColumn,
        ThresholdColumn,
        PixelWidthColumn,
        PixelHeightColumn,
        AdvanceColumn,
        CtColumn,
        PxColumn,
        AdColumn,
        RangesColumn,
        ColumnCount
    };
    static constexpr int kStartDelayMs = 200;
    static constexpr int kRefreshLockMs = 1000;
    static constexpr int kRequestPauseMs = 5;
    // Test seam: the delay before the first requests and the time Refresh
    // stays locked after a refresh.
    static void setIntervals(int startDelayMs, int refreshLockMs);
    static constexpr char kFontFolder[] = "/data/PUB/fonts/";

    explicit DialogFontSettings(QWidget* parent = nullptr);
    ~DialogFontSettings() override;

    QSize sizeHint() const override;

    QStringList installedFontNames() const { return installedFontNames_; }

    // Test seams: the file the "Install Font" button picks (default: the open
    // file dialog), and the widgets and upload engine tests look at.
    using FileChooser = std::function<QString(QWidget* parent)>;
    static void setFileChooser(FileChooser chooser);
    QTableWidget* fontSettingsTable() const { return fontSettings_; }
    QTableWidget* installedFontsTable() const { return installedFonts_; }
    QPushButton* refreshButton() const { return refresh_; }
    QPushButton* applyButton() const { return apply_; }
    QProgressDialog* progressDialog() const { return progress_; }
    FileUpload* upload() const { return upload_; }

public Q_SLOTS:
    void doRefresh();
    void doAddFont();
    void doRemoveFont();
    void doApply();
    void doResetToDefault();
    void doClose();
    void onCellChanged(int row, int column);
    void handleResponse(QByteArray response);
    void done(int result) override;

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    void clearFontSettings();
    void clearInstalledFonts();
    void listInstalledFonts();
    void addFontSettingsRow(const settings::FontEntry& entry);
    void addInstalledFont(const settings::InstalledFont& font);
    settings::FontEntry entryOf(int row) const;
    void onUploadProgress(qint64 written, qint64 total);
    // Closes the progress and gives the buttons that write back.
    void endUpload();

    QLabel* fontSettingsLabel_;
    QTableWidget* fontSettings_;
    QLabel* installedFontsLabel_;
    QTableWidget* installedFonts_;
    QPushButton* refresh_;
    QPushButton* install_;
    QPushButton* uninstall_;
    QPushButton* apply_;
    QPushButton* reset_;
    QPushButton* close_;
    // The buttons that write to the printer: off while an upload holds the link.
    QWidget* senders_;
    QStringList installedFontNames_;
    FileUpload* upload_;
    QPointer<QProgressDialog> progress_;
    int startTimer_ = 0;
    int refreshLockTimer_ = 0;
};
