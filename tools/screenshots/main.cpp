// Saves a PNG of each tab of the main window and of each dialog, in one
// language, connected to a printer (the simulator). It also prints the test
// page from its preview, waiting until the simulator has captured it, and
// saves a diagnostics archive into the working folder. The connect dialog
// multicasts discovery on every interface: run this only in a network
// namespace that holds nothing but the simulator (scripts/screenshots.sh).

#include "app/conf.h"
#include "app/debuglog.h"
#include "app/language.h"
#include "fonts/dialogfontsettings.h"
#include "link/hostcmd.h"
#include "link/transceiver.h"
#include "pages/dialogconfigurewifi.h"
#include "pages/widgetprint.h"
#include "settings/recordlayouts.h"
#include "settings/records.h"
#include "settings/settingsfile.h"
#include "ui/dialogabout.h"
#include "ui/dialogconnect.h"
#include "ui/dialogimportsettings.h"
#include "ui/dialogpreferences.h"
#include "ui/dialogprintpreview.h"
#include "ui/filedialog.h"
#include "ui/mainwindow.h"

#include <QAbstractSocket>
#include <QAction>
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QHostAddress>
#include <QMessageBox>
#include <QNetworkInterface>
#include <QPixmap>
#include <QPushButton>
#include <QSet>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QTranslator>
#include <QWindow>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <memory>

namespace {

constexpr int kStepTimeoutMs = 15000;
// A modal box opened by the window (a dropped link) would block every wait
// below; this timer still fires inside its event loop.
constexpr int kWholeRunTimeoutMs = 120000;
// Rows of the font dialog's tables arrive one reply at a time.
constexpr int kSettledMs = 300;

const char* const kTabFiles[]
    = {"01-device-information", "02-ethernet", "03-4g", "04-wifi", "05-serial", "06-audio", "07-print-settings"};

[[noreturn]] void fail(const QString& message)
{
    std::fprintf(stderr, "tovra-screenshots: %s\n", qPrintable(message));
    std::fflush(stderr);
    // Nothing to tear down that matters, and no event loop to return to.
    std::_Exit(1);
}

bool waitFor(const std::function<bool()>& done, int timeoutMs = kStepTimeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

void pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Shows `widget` at `size` (its size hint when empty) and waits until the X
// server shows it, so that the grab has laid-out, polished widgets.
void present(QWidget* widget, const QSize& size = QSize())
{
    widget->resize(size.isValid() ? size : widget->sizeHint());
    widget->show();
    widget->raise();
    if (!waitFor([widget] { return widget->windowHandle() && widget->windowHandle()->isExposed(); }))
        fail(QStringLiteral("\"%1\" was never shown on the display").arg(widget->windowTitle()));
    pause(100);
}

// Runs `open`, which shows a modal dialog of type T and returns when that
// closes; meanwhile `use` gets the dialog once it is on the display, and
// closes it. Fails when no such dialog came.
template <typename T>
void whileModal(const char* what, const std::function<void()>& open, const std::function<void(T*)>& use)
{
    bool used = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->windowHandle() || !dialog->windowHandle()->isExposed())
            return;
        poll.stop();
        used = true;
        pause(100);
        use(dialog);
    });
    poll.start(20);
    open();
    if (!used)
        fail(QStringLiteral("%1 never showed").arg(QLatin1String(what)));
}

int countJobs(const QDir& prints)
{
    return prints.entryList({QStringLiteral("job-*.bin")}, QDir::Files).size();
}

// The namespaces made for this have only addresses in 10.213.0.0/16 besides
// loopback; anything else may be a real network that discovery would reach.
QString realNetworkInterface()
{
    const QPair<QHostAddress, int> lab = QHostAddress::parseSubnet(QStringLiteral("10.213.0.0/16"));
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& interface : interfaces) {
        const QNetworkInterface::InterfaceFlags flags = interface.flags();
        if (flags & QNetworkInterface::IsLoopBack)
            continue;
        bool inLab = false;
        bool outside = false;
        const QList<QNetworkAddressEntry> entries = interface.addressEntries();
        for (const QNetworkAddressEntry& entry : entries) {
            if (entry.ip().protocol() != QAbstractSocket::IPv4Protocol)
                continue;
            (entry.ip().isInSubnet(lab) ? inLab : outside) = true;
        }
        // The connect dialog's own test for an interface to multicast on.
        const bool sentOn = !(flags & QNetworkInterface::IsPointToPoint)
            && (flags & (QNetworkInterface::IsUp | QNetworkInterface::IsRunning | QNetworkInterface::CanMulticast));
        if (outside || (sentOn && !inLab))
            return interface.name();
    }
    return QString();
}

class Shooter
{
public:
    explicit Shooter(const QDir& out)
        : out_(out)
    {
    }

    void save(QWidget* widget, const char* name)
    {
        const QString file = out_.filePath(QString::fromLatin1(name) + QStringLiteral(".png"));
        if (!widget->grab().save(file, "PNG"))
            fail(QStringLiteral("could not write %1").arg(file));
        std::printf("  %s\n", qPrintable(file));
        std::fflush(stdout);
    }

private:
    QDir out_;
};

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tovra-screenshots"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Saves a PNG of every tab and dialog, connected to the printer at ADDRESS, and prints its test page. "
        "Opens the connect dialog, which multicasts on every interface: run it only in a private network "
        "namespace."));
    parser.addHelpOption();
    const QCommandLineOption languageOption(QStringLiteral("language"),
        QStringLiteral("0 English, 1 Simplified Chinese, 2 Japanese."), QStringLiteral("n"));
    const QCommandLineOption printerOption(
        QStringLiteral("printer"), QStringLiteral("IPv4 address of the printer."), QStringLiteral("address"));
    const QCommandLineOption outOption(
        QStringLiteral("out"), QStringLiteral("Folder for the PNG files (made if missing)."), QStringLiteral("dir"));
    const QCommandLineOption printsOption(QStringLiteral("prints"),
        QStringLiteral("The simulator's --capture-dir: the test page printed from the preview is awaited there."),
        QStringLiteral("dir"));
    parser.addOptions({languageOption, printerOption, outOption, printsOption});
    parser.process(app);

    bool languageOk = false;
    const int language = parser.value(languageOption).toInt(&languageOk);
    if (!languageOk || language < 0 || language > 2)
        fail(QStringLiteral("--language takes 0, 1 or 2"));
    const QHostAddress printer(parser.value(printerOption));
    if (printer.protocol() != QAbstractSocket::IPv4Protocol)
        fail(QStringLiteral("--printer takes an IPv4 address"));
    const QString outPath = parser.value(outOption);
    if (outPath.isEmpty() || !QDir().mkpath(outPath))
        fail(QStringLiteral("--out takes a folder that can be made"));
    const QDir prints(parser.value(printsOption));
    if (parser.value(printsOption).isEmpty() || !prints.exists())
        fail(QStringLiteral("--prints takes the simulator's capture folder"));

    const QString real = realNetworkInterface();
    if (!real.isEmpty())
        fail(QStringLiteral("interface %1 may reach a real network, and the connect dialog multicasts on it; "
                            "run this in a private network namespace (scripts/screenshots.sh)")
                 .arg(real));

    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(
        &watchdog, &QTimer::timeout, [] { fail(QStringLiteral("gave up after %1 s").arg(kWholeRunTimeoutMs / 1000)); });
    watchdog.start(kWholeRunTimeoutMs);

    // As the application starts, with the language given here rather than
    // the configuration file's, which is left alone.
    logOpen();
    conf.load();
    conf.Language = language;
    hostCmd.setKeys(conf.defaultKey, conf.iv);
    qRegisterMetaType<QAbstractSocket::SocketState>("QAbstractSocket::SocketState");
    qRegisterMetaType<host_cmd_dev_info_t>("host_cmd_dev_info_t");
    qRegisterMetaType<uint32_t>("uint32_t");
    QTranslator translator;
    QApplication::setFont(chooseLanguage(translator));
    if (language != 0 && translator.isEmpty())
        fail(QStringLiteral("no translations/ in the working directory %1").arg(QDir::currentPath()));

    auto link = std::make_unique<Transceiver>();
    transceiver = link.get();
    auto window = std::make_unique<MainWindow>();
    Shooter shooter {QDir(outPath)};

    // Which of the six records the window asked for have come back. Queued
    // after the window's own handler, so a record seen here is on its page.
    QSet<quint16> loaded;
    QObject::connect(
        &hostCmd, &HostCmd::responseReceived, window.get(),
        [&loaded](QByteArray response) { loaded.insert(RecordReader(response).u16(layout::kIdOffset)); },
        Qt::QueuedConnection);

    present(window.get(), QSize(1000, 700));

    // Before the link is opened: the dialog's USB probe closes the link.
    {
        auto dialog = std::make_unique<DialogConnect>(window.get());
        auto* table = dialog->findChild<QTableWidget*>();
        present(dialog.get());
        if (!table || !waitFor([table] { return table->rowCount() > 0; }))
            fail(QStringLiteral("the printer did not answer discovery"));
        pause(100);
        shooter.save(dialog.get(), "08-connect");
        dialog->close();
    }

    // What the connect dialog sets for the printer picked in it.
    using namespace layout::readtype;
    hostCmd.project = QStringLiteral("LQ520");
    hostCmd.model = QStringLiteral("LQ560");
    if (!transceiver->openTcp(printer))
        fail(QStringLiteral("could not connect to %1").arg(printer.toString()));
    const QSet<quint16> all {kDeviceInfo, kNetworkInfo, kPrintSettings, kWnet, kSerial, kAudio};
    if (!waitFor([&] { return loaded.contains(all); }))
        fail(QStringLiteral("the printer sent %1 of the 6 settings records").arg(loaded.size()));

    QTabWidget* tabs = window->tabWidget();
    for (int index = 0; index < tabs->count() && index < int(std::size(kTabFiles)); ++index) {
        tabs->setCurrentIndex(index);
        pause(100);
        shooter.save(window.get(), kTabFiles[index]);
    }

    {
        auto dialog = std::make_unique<DialogFontSettings>(window.get());
        present(dialog.get());
        QTableWidget* settings = dialog->fontSettingsTable();
        QTableWidget* fonts = dialog->installedFontsTable();
        if (!waitFor([&] { return settings->rowCount() > 0 && fonts->rowCount() > 0; }))
            fail(QStringLiteral("the font dialog got %1 settings rows and %2 fonts")
                     .arg(settings->rowCount())
                     .arg(fonts->rowCount()));
        // Refresh comes back on a second after the requests went out; then
        // until no row has come for a while.
        if (!waitFor([&] { return dialog->refreshButton()->isEnabled(); }))
            fail(QStringLiteral("the font dialog's Refresh stayed disabled"));
        int rows = -1;
        while (rows != settings->rowCount() + fonts->rowCount()) {
            rows = settings->rowCount() + fonts->rowCount();
            pause(kSettledMs);
        }
        shooter.save(dialog.get(), "09-font-settings");
        dialog->close();
    }
    {
        auto dialog = std::make_unique<DialogPreferences>(window.get());
        present(dialog.get());
        shooter.save(dialog.get(), "10-preferences");
        dialog->close();
    }
    {
        auto dialog = std::make_unique<DialogConfigureWiFi>(window.get());
        present(dialog.get());
        shooter.save(dialog.get(), "11-configure-wifi");
        dialog->close();
    }
    {
        // A file kept from another printer: a few rows, and a note as a
        // model without 4G would have it.
        settings::Plan plan;
        plan.changes = {{QStringLiteral("print.density"), 100, 115}, {QStringLiteral("serial.baud"), 115200, 9600},
            {QStringLiteral("ethernet.static_ip"), QStringLiteral("192.168.1.20"), QStringLiteral("192.168.1.21")},
            {QStringLiteral("wifi.ssid"), QStringLiteral("Shop"), QStringLiteral("Shop-2")}};
        plan.notes = QStringList {QStringLiteral("mobile: the printer has no 4G")};
        auto dialog = std::make_unique<DialogImportSettings>(plan, window.get());
        present(dialog.get());
        shooter.save(dialog.get(), "12-import-settings");
        dialog->close();
    }
    {
        auto dialog = std::make_unique<DialogAbout>(window.get());
        present(dialog.get());
        shooter.save(dialog.get(), "13-about");
        dialog->close();
    }

    // The window's own preview, whose Print sends the page to the printer.
    auto* print = window->findChild<WidgetPrint*>();
    if (!print)
        fail(QStringLiteral("the window has no print settings page"));
    const int jobs = countJobs(prints);
    whileModal<DialogPrintPreview>(
        "the print preview", [print] { print->doPreviewTestPage(); },
        [&shooter](DialogPrintPreview* dialog) {
            shooter.save(dialog, "14-print-preview");
            dialog->doPrint();
        });
    if (!waitFor([&] { return countJobs(prints) > jobs; }))
        fail(QStringLiteral("the printer never got the test page in %1").arg(prints.path()));

    // The archive goes to the working folder; the box that confirms it is shot.
    const QString archive = QDir::current().filePath(QStringLiteral("diagnostics.zip"));
    QFile::remove(archive);
    FileDialog::queueAnswer(archive);
    whileModal<QMessageBox>(
        "the diagnostics confirmation", [&window] { window->diagnosticsAction()->trigger(); },
        [&shooter](QMessageBox* box) {
            shooter.save(box, "15-diagnostics-saved");
            box->accept();
        });
    if (!QFileInfo(archive).isFile())
        fail(QStringLiteral("no diagnostics archive at %1").arg(archive));

    window.reset();
    link->close();
    transceiver = nullptr;
    link.reset();
    logClose();
    return 0;
}
