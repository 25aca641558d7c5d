#include "ui/mainwindow.h"

#include "app/conf.h"
#include "app/debuglog.h"
#include "app/diagnostics.h"
#include "link/hostcmd.h"
#include "link/lastread.h"
#include "link/printersession.h"
#include "link/tcpprinter.h"
#include "link/transceiver.h"
#include "pages/widgetaudio.h"
#include "pages/widgetdeviceinformation.h"
#include "pages/widgetlan.h"
#include "pages/widgetprint.h"
#include "pages/widgetserial.h"
#include "pages/widgetwifi.h"
#include "pages/widgetwnet.h"
#include "settings/settings.h"
#include "ui/dialogabout.h"
#include "ui/dialogconnect.h"
#include "ui/dialogimportsettings.h"
#include "ui/dialogpreferences.h"
#include "ui/dialogreconnect.h"
#include "ui/filedialog.h"
#include "ui/messagebox.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSaveFile>
#include <QScreen>
#include <QScrollArea>
#include <QStatusBar>
#include <QTabWidget>
#include <QThread>
#include <QTimerEvent>
#include <QToolBar>

#include <functional>
#include <iterator>
#include <memory>
#include <utility>

MainWindow* mainWindow = nullptr;

namespace {

// Room the window takes around a page: title bar, tool bar, tab bar,
// status bar and margins, generously.
constexpr int kWindowChrome = 200;

// Holds a page so that the window still fits a small screen (the print page
// alone is about 700 px tall): the page keeps its whole size as its minimum
// where the screen has room for it, and scrolls only where it has not.
class PageScrollArea final : public QScrollArea
{
public:
    PageScrollArea(QWidget* page, QWidget* parent)
        : QScrollArea(parent)
    {
        setFrameShape(QFrame::NoFrame);
        setWidgetResizable(true);
        setWidget(page);
        // Transparent, so the tab pane shows through as it does behind a bare page.
        viewport()->setAutoFillBackground(false);
        page->setAutoFillBackground(false);
    }
    QSize sizeHint() const override { return widget()->sizeHint(); }
    QSize minimumSizeHint() const override
    {
        const QSize whole = widget()->minimumSizeHint();
        const QScreen* shownOn = screen();
        if (!shownOn)
            return whole;
        const QSize room = shownOn->availableGeometry().size() - QSize(kWindowChrome, kWindowChrome);
        return whole.width() <= room.width() && whole.height() <= room.height() ? whole
                                                                                : QScrollArea::minimumSizeHint();
    }
};

// Gives the printer a moment between consecutive read requests.
constexpr unsigned long kRequestPauseMs = 5;

struct StepResult
{
    QString error;
    settings::PrinterState state;
};

// Runs one session step to its end in a local event loop, so that an action
// reads in order; replies, and the window's own dispatch of them, go on
// meanwhile. Empty when the application quit first.
std::optional<StepResult> runStep(const std::function<void(PrinterSession::StateDone)>& start)
{
    // Shared with the callback, which may outlive this call.
    struct Shared
    {
        std::optional<StepResult> result;
        QPointer<QEventLoop> loop;
    };
    const auto shared = std::make_shared<Shared>();
    QEventLoop loop;
    shared->loop = &loop;
    start([shared](const QString& error, const settings::PrinterState& state) {
        shared->result = StepResult {error, state};
        if (shared->loop)
            shared->loop->quit();
    });
    if (!shared->result)
        loop.exec();
    return shared->result;
}

QString settingsFilter()
{
    return MainWindow::tr("Printer Settings (*.json)");
}

} // namespace

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent)
{
    mainWindow = this;
    setWindowFlags(windowFlags() & ~Qt::WindowMaximizeButtonHint);
    buildUi();

    connect(connectAction_, &QAction::triggered, this, &MainWindow::doConnect);
    connect(disconnectAction_, &QAction::triggered, this, &MainWindow::doDisconnect);
    connect(reloadAction_, &QAction::triggered, this, &MainWindow::doReload);
    connect(exportAction_, &QAction::triggered, this, &MainWindow::doExportSettings);
    connect(importAction_, &QAction::triggered, this, &MainWindow::doImportSettings);
    connect(diagnosticsAction_, &QAction::triggered, this, &MainWindow::doSaveDiagnostics);
    connect(preferencesAction_, &QAction::triggered, this, &MainWindow::doPreferences);
    connect(aboutAction_, &QAction::triggered, this, &MainWindow::doAbout);
    // Queued: the USB link reports from its reader thread.
    if (transceiver) {
        connect(transceiver, &Transceiver::connected, this, &MainWindow::onConnected, Qt::QueuedConnection);
        connect(transceiver, &Transceiver::disconnected, this, &MainWindow::onDisconnected, Qt::QueuedConnection);
    } else {
        LOG("No transceiver: the window does not follow the link.");
    }
    connect(&hostCmd, &HostCmd::responseReceived, this, &MainWindow::handleResponse, Qt::QueuedConnection);
    // Queued like the Transceiver's own, so it runs before the connected()
    // that this answer brings.
    connect(
        &hostCmd, &HostCmd::deviceFound, this,
        [this](host_cmd_dev_info_t devinfo) {
            const auto identity = settings::DeviceIdentity::fromBytes(
                QByteArray(reinterpret_cast<const char*>(&devinfo), sizeof devinfo));
            answeredSerial_ = identity->rawText(settings::DeviceIdentity::Sn);
        },
        Qt::QueuedConnection);

    showDisconnected();
    setWindowTitle(tr("TOVRA Cloud Printer Setup %1").arg(QLatin1String(kVersion)));
    setWindowIcon(QIcon(QStringLiteral(":/images/app.png")));
}

MainWindow::~MainWindow()
{
    mainWindow = nullptr;
}

QSize MainWindow::sizeHint() const
{
    // Wide enough that no tool bar button hides behind the extension arrow,
    // where the screen has room for that.
    int width = qMax(640, toolBar_->sizeHint().width());
    if (const QScreen* shownOn = screen())
        width = qMax(640, qMin(width, shownOn->availableGeometry().width()));
    return QSize(width, 600);
}

void MainWindow::buildUi()
{
    const auto makeAction = [this](const char* icon, const QString& text, const QString& tip) {
        auto* action = new QAction(QIcon(QLatin1String(icon)), text, this);
        action->setStatusTip(tip);
        action->setToolTip(tip);
        return action;
    };
    connectAction_ = makeAction(":/images/connect.png", tr("Connect"), tr("Connect to a printer"));
    disconnectAction_ = makeAction(":/images/disconnect.png", tr("Disconnect"), tr("Disconnect from the printer"));
    reloadAction_ = makeAction(":/images/update.png", tr("Reload"), tr("Reload settings from the printer"));
    exportAction_
        = makeAction(":/images/disk.png", tr("Export Settings..."), tr("Save the printer's settings to a file"));
    importAction_
        = makeAction(":/images/gzoom.png", tr("Import Settings..."), tr("Apply settings from a file to the printer"));
    diagnosticsAction_ = makeAction(
        ":/images/world.png", tr("Save Diagnostics..."), tr("Save a support archive: log, versions and settings"));
    // Short under its icon, so that the tool bar fits a small screen.
    diagnosticsAction_->setIconText(tr("Diagnostics"));
    preferencesAction_ = makeAction(":/images/cog.png", tr("Preferences"), tr("Open the \"Preferences\" dialog"));
    aboutAction_ = makeAction(":/images/app.png", tr("About"), tr("Show the versions of the program"));

    toolBar_ = new QToolBar(this);
    toolBar_->addAction(connectAction_);
    toolBar_->addAction(disconnectAction_);
    toolBar_->addSeparator();
    toolBar_->addAction(reloadAction_);
    toolBar_->addAction(exportAction_);
    toolBar_->addAction(importAction_);
    toolBar_->addAction(diagnosticsAction_);
    // Pushes Preferences to the right end.
    auto* spacer = new QWidget(toolBar_);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    toolBar_->addWidget(spacer);
    toolBar_->addAction(preferencesAction_);
    toolBar_->addAction(aboutAction_);
    toolBar_->setIconSize(QSize(32, 32));
    toolBar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolBar_->setMovable(false);
    addToolBar(toolBar_);
    toolBar_->show();

    tabWidget_ = new QTabWidget(this);
    tabWidget_->setTabShape(QTabWidget::Rounded);
    widgetDeviceInformation_ = new WidgetDeviceInformation(tabWidget_);
    widgetLan_ = new WidgetLan(tabWidget_);
    widgetWnet_ = new WidgetWnet(tabWidget_);
    widgetWiFi_ = new WidgetWiFi(tabWidget_);
    widgetSerial_ = new WidgetSerial(tabWidget_);
    widgetAudio_ = new WidgetAudio(tabWidget_);
    widgetPrint_ = new WidgetPrint(tabWidget_);
    const std::pair<QWidget*, QString> pages[] = {{widgetDeviceInformation_, tr("Device Information")},
        {widgetLan_, tr("Ethernet")}, {widgetWnet_, tr("4G")}, {widgetWiFi_, tr("Wi-Fi")},
        {widgetSerial_, tr("Serial")}, {widgetAudio_, tr("Audio")}, {widgetPrint_, tr("Print Settings")}};
    for (const auto& [page, text] : pages)
        tabWidget_->addTab(new PageScrollArea(page, tabWidget_), text);
    setCentralWidget(tabWidget_);

    statusLabel_ = new QLabel(this);
    statusLabel_->setMinimumWidth(300);
    statusLabel_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    statusBar()->addWidget(statusLabel_, 0);
    statusBar()->show();
}

void MainWindow::doConnect()
{
    // The dialog opens the link itself; onConnected() follows.
    DialogConnect dialog(this);
    dialog.exec();
}

void MainWindow::doDisconnect()
{
    // The window follows when the link reports disconnected().
    if (transceiver)
        transceiver->close();
}

void MainWindow::doReload()
{
    if (hasUnsavedSettings() && !MessageBox::unsavedSettingsMayBeLost(this))
        return;

    using namespace settings;
    for (quint16 type : {DeviceInfo::replyId(), NetworkInfo::replyId(), PrintSettings::replyId(), WnetStatus::replyId(),
             SerialSettings::replyId()}) {
        hostCmd.requestRecord(type);
        QThread::msleep(kRequestPauseMs);
    }
    hostCmd.requestRecord(AudioSettings::replyId());

    // Keeps Reload from being pressed again at once, and a session from
    // taking these replies for its own; the replies are not awaited.
    if (reloadLockTimer_ != 0)
        killTimer(reloadLockTimer_);
    reloadLockTimer_ = startTimer(kReloadLockMs, Qt::CoarseTimer);
    updateReadActions();
}

void MainWindow::doExportSettings()
{
    // Reading reloads the pages.
    if (!transceiver || (hasUnsavedSettings() && !MessageBox::unsavedSettingsMayBeLost(this)))
        return;
    const QString serial = answeredSerial_ ? QString::fromLatin1(*answeredSerial_) : QString();
    const QString path
        = FileDialog::saveFileName(this, tr("Export Settings"), serial + QStringLiteral(".json"), settingsFilter());
    if (path.isEmpty())
        return;

    PrinterSession session(hostCmd, *transceiver, this);
    const std::optional<settings::PrinterState> state = readPrinter(session);
    if (!state)
        return;
    const QByteArray json
        = settings::SettingsFile::fromState(*state, QDateTime::currentDateTimeUtc().toString(Qt::ISODate)).toJson();
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(json) == json.size() && file.commit())
        return;
    LOG("Export to %s failed: %s", qPrintable(path), qPrintable(file.errorString()));
    MessageBox::warning(
        this, tr("Error"), tr("Cannot write %1:\n%2").arg(QDir::toNativeSeparators(path), file.errorString()));
}

void MainWindow::doImportSettings()
{
    // Reading reloads the pages.
    if (!transceiver || (hasUnsavedSettings() && !MessageBox::unsavedSettingsMayBeLost(this)))
        return;
    const QString path = FileDialog::openFileName(this, tr("Import Settings"), settingsFilter());
    if (path.isEmpty())
        return;

    // The whole file is checked before the printer is touched.
    const auto cannotRead = [this](const QString& name, const QString& why) {
        LOG("Import refused, %s: %s", qPrintable(name), qPrintable(why));
        MessageBox::warning(this, tr("Error"), tr("Cannot read %1:\n%2").arg(QDir::toNativeSeparators(name), why));
    };
    QFile input(path);
    if (!input.open(QIODevice::ReadOnly)) {
        cannotRead(path, input.errorString());
        return;
    }
    settings::SettingsFile file;
    QString error;
    if (!settings::SettingsFile::parse(input.readAll(), &file, &error)) {
        cannotRead(path, error);
        return;
    }

    PrinterSession session(hostCmd, *transceiver, this);
    const std::optional<settings::PrinterState> before = readPrinter(session);
    if (!before)
        return;
    const settings::Plan plan = settings::makePlan(file, *before);
    const QString cannotApply = tr("Cannot apply the settings:\n%1");
    if (!plan.error.isEmpty()) {
        MessageBox::warning(this, tr("Error"), cannotApply.arg(plan.error));
        return;
    }
    if (!plan.differs()) {
        QStringList lines {tr("The printer already has these settings.")};
        if (!plan.notes.isEmpty())
            lines << QString() << plan.notes;
        MessageBox::information(this, tr("Information"), lines.join(QLatin1Char('\n')));
        return;
    }
    DialogImportSettings dialog(plan, this);
    if (dialog.exec() != QDialog::Accepted)
        return;

    // Font files the printer lacks come from the settings file's folder.
    QMap<QString, QByteArray> fontData;
    const QString fontError = PrinterSession::loadFonts(plan, QFileInfo(path).absolutePath(), &fontData);
    if (!fontError.isEmpty()) {
        MessageBox::warning(this, tr("Error"), cannotApply.arg(fontError));
        return;
    }

    setBusy(true);
    const std::optional<StepResult> applied
        = runStep([&](PrinterSession::StateDone done) { session.apply(plan, fontData, std::move(done)); });
    setBusy(false);
    if (!applied)
        return;
    if (!applied->error.isEmpty()) {
        LOG("Import of %s failed: %s", qPrintable(path), qPrintable(applied->error));
        MessageBox::warning(this, tr("Error"), cannotApply.arg(applied->error));
        return;
    }
    // The pages already show what was read back.
    const QStringList missed = settings::mismatches(plan, applied->state);
    if (missed.isEmpty()) {
        MessageBox::information(this, tr("Information"), tr("The settings were applied."));
        return;
    }
    LOG("Import of %s: read-back mismatch: %s", qPrintable(path), qPrintable(missed.join(QStringLiteral(", "))));
    MessageBox::warning(
        this, tr("Error"), tr("These settings did not take: %1").arg(missed.join(QStringLiteral(", "))));
}

void MainWindow::doSaveDiagnostics()
{
    // Wanted most when something is wrong: it saves what it can, with or
    // without a printer.
    const bool connected = transceiver && disconnectAction_->isEnabled();
    if (connected && !busy_ && hasUnsavedSettings() && !MessageBox::unsavedSettingsMayBeLost(this))
        return;
    const QString path = FileDialog::saveFileName(this, tr("Save Diagnostics"),
        QStringLiteral("tovra-diagnostics-%1.zip")
            .arg(QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss"))),
        tr("Zip Archives (*.zip)"));
    if (path.isEmpty())
        return;

    diagnostics::Report report;
    report.configurationName = QFileInfo(conf.fileName).fileName();
    QFile configuration(conf.fileName);
    if (configuration.open(QIODevice::ReadOnly))
        report.configuration = configuration.readAll();
    // Reading reloads the pages; a step already running is not disturbed.
    if (connected && !busy_) {
        PrinterSession session(hostCmd, *transceiver, this);
        setBusy(true);
        const std::optional<StepResult> read = runStep([&session](PrinterSession::StateDone done) {
            session.read(PrinterSession::Information | PrinterSession::Records, std::move(done));
        });
        setBusy(false);
        if (!read)
            return;
        if (read->error.isEmpty())
            report.printer = read->state;
        else
            LOG("Diagnostics without the printer's settings: %s", qPrintable(read->error));
    }
    report.records = hostCmd.history().toCsv();
    // After the read, so that what it logged is in.
    QFile log(QStringLiteral("log.txt"));
    if (log.open(QIODevice::ReadOnly))
        report.log = log.readAll();

    QString error;
    if (!diagnostics::writeArchive(path, report, &error)) {
        MessageBox::warning(this, tr("Error"), tr("Cannot write %1:\n%2").arg(QDir::toNativeSeparators(path), error));
        return;
    }
    MessageBox::information(this, tr("Information"), tr("Diagnostics saved to %1").arg(QDir::toNativeSeparators(path)));
}

void MainWindow::doAbout()
{
    DialogAbout dialog(this);
    dialog.exec();
}

void MainWindow::doPreferences()
{
    DialogPreferences dialog(this);
    if (dialog.exec() != QDialog::Accepted || dialog.languageIndex() == conf.Language)
        return;
    conf.Language = dialog.languageIndex();
    conf.save();
    MessageBox::information(this, tr("Information"), tr("Restart the application to apply language changes."));
}

void MainWindow::onConnected()
{
    // Edits belong to the printer they were made for: another printer is
    // loaded whole, and only this printer's edits are kept if the user says so.
    const bool samePrinter = answeredSerial_ && answeredSerial_ == loadedSerial_;
    loadedSerial_ = answeredSerial_;
    linkUp_.start();
    const bool keepEdits = samePrinter && hasUnsavedSettings() && !MessageBox::unsavedSettingsMayBeLost(this);

    connectAction_->setEnabled(false);
    disconnectAction_->setEnabled(true);
    updateReadActions();
    tabWidget_->setEnabled(true);

    const settings::Features has = settings::features(hostCmd.project, hostCmd.model);
    // Disabling the current tab would move the tab bar to the next one; the
    // user's tab stays current, shown disabled.
    const int current = tabWidget_->currentIndex();
    tabWidget_->setTabEnabled(DeviceInformationTab, true);
    widgetDeviceInformation_->applyFeatures(has);
    tabWidget_->setTabEnabled(EthernetTab, has.ethernet);
    tabWidget_->setTabEnabled(WnetTab, has.mobile);
    tabWidget_->setTabEnabled(WiFiTab, has.wifi);
    tabWidget_->setTabEnabled(AudioTab, true);
    tabWidget_->setCurrentIndex(current);
    widgetPrint_->applyFeatures(has);
    if (!keepEdits)
        disableSaveButtons();

    const QString link = transceiver && transceiver->linkState() == Transceiver::Usb ? QStringLiteral("USB")
        : transceiver ? transceiver->tcpPrinter()->host().toString()
                      : QString();
    statusLabel_->setText(tr("Connected (%1)").arg(link));

    // The identity and versions hold no edits.
    if (keepEdits)
        hostCmd.requestRecord(settings::DeviceInfo::replyId());
    else
        doReload();
}

void MainWindow::onDisconnected()
{
    showDisconnected();
    // Still TCP: the link dropped by itself, since closing it resets the state.
    // A link already reopened (a stopped font upload reconnects) needs no
    // reconnect dialog: its connected() follows.
    if (transceiver && transceiver->linkState() == Transceiver::Tcp
        && transceiver->tcpPrinter()->state() == QAbstractSocket::UnconnectedState) {
        const int delay = backoff_.delayAfterDrop(linkUp_.isValid() ? linkUp_.elapsed() : 0);
        DialogReconnect dialog(transceiver->tcpPrinter()->host(), this, delay);
        dialog.exec();
        // Up again at least as far as TCP: a printer that then drops before
        // its handshake answer must not escape the back-off.
        if (transceiver && transceiver->tcpPrinter()->state() == QAbstractSocket::ConnectedState)
            linkUp_.start();
    }
}

void MainWindow::handleResponse(QByteArray response)
{
    using namespace settings;
    // Before the pages load: their Save compares with these copies. Replies
    // of other kinds or too short go no further.
    if (!lastRead.refresh(response))
        return;

    // Each page leaves its Save disabled: a freshly loaded page has no changes.
    if (const auto info = DeviceInfo::fromReply(response)) {
        widgetDeviceInformation_->load(*info);
    } else if (const auto network = NetworkInfo::fromReply(response)) {
        widgetLan_->load(*network);
        widgetWiFi_->load(*network);
        widgetDeviceInformation_->loadBluetooth(*network);
    } else if (const auto print = PrintSettings::fromReply(response)) {
        widgetPrint_->load(*print);
    } else if (const auto mobile = WnetStatus::fromReply(response)) {
        widgetWnet_->load(*mobile);
    } else if (const auto serial = SerialSettings::fromReply(response)) {
        widgetSerial_->load(*serial);
    } else if (const auto audio = AudioSettings::fromReply(response)) {
        widgetAudio_->load(*audio);
    }
}

void MainWindow::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != reloadLockTimer_) {
        QMainWindow::timerEvent(event);
        return;
    }
    killTimer(reloadLockTimer_);
    reloadLockTimer_ = 0;
    // A link that went down during the lock leaves Reload disabled.
    updateReadActions();
}

void MainWindow::showDisconnected()
{
    connectAction_->setEnabled(true);
    disconnectAction_->setEnabled(false);
    updateReadActions();
    tabWidget_->setEnabled(false);
    statusLabel_->setText(tr("Not Connected"));
}

std::optional<settings::PrinterState> MainWindow::readPrinter(PrinterSession& session)
{
    setBusy(true);
    const std::optional<StepResult> read = runStep(
        [&session](PrinterSession::StateDone done) { session.read(PrinterSession::Everything, std::move(done)); });
    setBusy(false);
    if (!read)
        return std::nullopt;
    if (!read->error.isEmpty()) {
        LOG("Reading the printer's settings failed: %s", qPrintable(read->error));
        MessageBox::warning(this, tr("Error"), tr("Cannot read the printer's settings:\n%1").arg(read->error));
        return std::nullopt;
    }
    return read->state;
}

void MainWindow::setBusy(bool busy)
{
    busy_ = busy;
    updateReadActions();
    if (busy)
        QApplication::setOverrideCursor(Qt::BusyCursor);
    else
        QApplication::restoreOverrideCursor();
}

void MainWindow::updateReadActions()
{
    const bool idle = disconnectAction_->isEnabled() && reloadLockTimer_ == 0 && !busy_;
    for (QAction* action : {reloadAction_, exportAction_, importAction_})
        action->setEnabled(idle);
}

bool MainWindow::hasUnsavedSettings() const
{
    for (const QPushButton* save : {widgetLan_->saveButton(), widgetWnet_->saveButton(), widgetWiFi_->saveButton(),
             widgetSerial_->saveButton(), widgetAudio_->saveButton(), widgetPrint_->saveButton()}) {
        // The button's own state: a page in a disabled tab shows every button
        // disabled, whatever its flag.
        if (!save->testAttribute(Qt::WA_ForceDisabled))
            return true;
    }
    return false;
}

void MainWindow::disableSaveButtons()
{
    for (QPushButton* save : {widgetLan_->saveButton(), widgetWnet_->saveButton(), widgetWiFi_->saveButton(),
             widgetSerial_->saveButton(), widgetAudio_->saveButton(), widgetPrint_->saveButton()})
        save->setEnabled(false);
}
