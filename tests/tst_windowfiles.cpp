// The main window's settings files against the simulator: Export and Import.

#include "app/conf.h"
#include "link/hostcmd.h"
#include "linkfixture.h"
#include "modalcloser.h"
#include "pages/widgetlan.h"
#include "pages/widgetwnet.h"
#include "pagesupport.h"
#include "ui/dialogimportsettings.h"
#include "ui/filedialog.h"
#include "ui/mainwindow.h"
#include "ui/messagebox.h"

#include <QAction>
#include <QTableWidget>

class TestWindowFiles : public QObject
{
    Q_OBJECT

    LinkFixture f_;
    std::unique_ptr<MainWindow> window_;

    // Every feature; the window connected, its pages loaded.
    bool connectTo(const QStringList& fault)
    {
        MessageBox::resetForTests(), FileDialog::resetForTests(), f_.makeLink(),
            window_ = std::make_unique<MainWindow>();
        Responses loaded({1, 2, 3, 4, 5, 6});
        const QStringList model {"--project", "LQ520", "--model", "LQ560", "--sn", "TV560SIM01", "--no-discovery"};
        return f_.sim.start(model + fault) && f_.connectTcp() && loaded.waitFor(6)
            && QTest::qWaitFor([this] { return window_->importAction()->isEnabled(); });
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(f_.initCase()); }
    void cleanupTestCase() { f_.cleanupCase(); }
    void cleanup() { window_.reset(), f_.dropLink(); }

    // The simulator's factory values; no password, which the printer never tells.
    void exportWritesThePrintersValues()
    {
        QVERIFY(connectTo({}));
        FileDialog::queueAnswer(f_.dir.filePath("out.json"));
        window_->exportAction()->trigger();
        QCOMPARE(FileDialog::takeShown().value(0).name, "TV560SIM01.json");
        settings::SettingsFile file;
        QString error;
        QVERIFY2(settings::SettingsFile::parse(readFile("out.json"), &file, &error), qPrintable(error));
        QVERIFY(file.values["print.quality"] == 50 && file.values["wifi.ssid"] == "Tovra-Office");
        QVERIFY(file.values["mobile.apn"] == "cmnet" && !file.hasPassword() && MessageBox::takeShown().isEmpty());
    }

    // With a password set and a key configured: the archive passes unzip -t
    // and holds neither.
    void saveDiagnostics()
    {
        QVERIFY(connectTo({}));
        settings::WifiCredentials credentials;
        credentials.setText(settings::WifiCredentials::Ssid, "Shop");
        credentials.setText(settings::WifiCredentials::Password, "s3cret");
        QVERIFY(hostCmd.sendRecord(credentials.bytes()));
        const QString key = "00112233445566778899AABBCCDDEEFF";
        conf.fileName = writeScratchFile("conf.ini",
            "[Conf]\nLanguage=0\n[Protocol]\nDefaultKey=" + key.toLatin1() + "\nIV = " + key.toLower().toLatin1()
                + "\n");
        FileDialog::queueAnswer(f_.dir.filePath("support.zip"));
        MessageBox::queueAnswer(QMessageBox::Ok);
        window_->diagnosticsAction()->trigger();
        const Unzipped zip = unzip(f_.dir.filePath("support.zip"));
        QVERIFY(zip.tested && MessageBox::takeShown().value(0).text.endsWith(f_.dir.filePath("support.zip")));
        QCOMPARE(zip.names,
            "log.txt\nconf.ini\nrecords.csv\nversions.txt\nprinter-settings.json\nprinter-information.json\n");
        for (const char* part : {"DefaultKey=********\n", "IV =********\n", ",sent,0x0111,258\n",
                 "\"sn\": \"TV560SIM01\"", "\"ssid\": \"Shop\"", "OpenSSL: OpenSSL 3"})
            QVERIFY2(zip.contents.contains(part), part);
        QVERIFY(!zip.contents.contains("s3cret") && !zip.contents.toUpper().contains(key.toLatin1()));
    }

    void import_data()
    {
        QTest::addColumn<QByteArray>("groups"); // the file after its format and version
        QTest::addColumn<QString>("fault");
        // The dialog's rows (the baud rate is the printer's; none: no dialog, no read), box title, pages, box text.
        QTest::addColumn<QStringList>("outcome");
        const QByteArray two
            = R"("ethernet": {"static_ip": "10.1.2.3"}, "mobile": {"apn": "fleet"}, "serial": {"baud": 115200}})";
        const QStringList applied {"mobile.apn ethernet.static_ip", "Information", "10.1.2.3 fleet", "were applied."};
        QTest::newRow("two fields") << two << "" << applied;
        QTest::newRow("bad value") << QByteArray("\"print\": {\n\"density\": 500}}") << ""
                                   << QStringList {"", "Error", "0.0.0.0 cmnet", "\nline 3: print.density: "};
        QTest::newRow("read-back mismatch")
            << QByteArray(R"("print": {"density": 120}})") << "--fault-ignore print.density"
            << QStringList {"print.density", "Error", "0.0.0.0 cmnet", "did not take: print.density"};
    }
    void import()
    {
        QFETCH(QByteArray, groups);
        QFETCH(QString, fault);
        QFETCH(QStringList, outcome);
        QVERIFY(connectTo(fault.split(' ', Qt::SkipEmptyParts)));
        ModalCloser modal;
        QStringList rows;
        modal.drive<DialogImportSettings>([&rows](DialogImportSettings* dialog) {
            for (int row = 0; row < dialog->changesTable()->rowCount(); ++row)
                rows << dialog->changesTable()->item(row, DialogImportSettings::NameColumn)->text();
            dialog->accept();
        });
        FileDialog::queueAnswer(
            writeScratchFile("in.json", "{\"format\":\"tovra-printer-settings\",\"version\":1,\n" + groups));
        MessageBox::queueAnswer(QMessageBox::Ok);
        Responses replies;
        window_->importAction()->trigger();
        const QList<MessageBox::Shown> boxes = MessageBox::takeShown();
        const QString pages = fieldOf(*window_->widgetLan(), "IP Address (Static):")->text() + ' '
            + fieldOf(*window_->widgetWnet(), "APN:")->text();
        QCOMPARE(QStringList({rows.join(' '), boxes.value(0).title, pages}).join('|'), outcome.mid(0, 3).join('|'));
        QVERIFY2(boxes.size() == 1 && boxes[0].text.contains(outcome[3]), qPrintable(boxes.value(0).text));
        QCOMPARE(replies.records.isEmpty(), rows.isEmpty());
    }
};

QTEST_MAIN(TestWindowFiles)
#include "tst_windowfiles.moc"
