// The application executable's start-up: log first, configuration read and
// rewritten, window shown.

#include "testsupport.h"

#include <QDir>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

class TestStartup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void startsAndRewritesOldConfiguration()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QByteArray old = "[Conf]\nFileVersion=2\nLanguage=2\nVID_PID_List=\"5A7C:00D2\"\n";
        QVERIFY(!writeScratchFile(dir.filePath("tovra-cloud-printer-setup.ini"), old).isEmpty());
        QProcess app;
        app.setWorkingDirectory(dir.path());
        app.setProgram(QStringLiteral(TOVRA_APP_EXECUTABLE));
        app.setProcessChannelMode(QProcess::ForwardedChannels);
        app.start();
        QVERIFY(app.waitForStarted(10000));

        // The configuration is loaded after the log is opened, so its line is there.
        QTRY_VERIFY_WITH_TIMEOUT(readFile(dir.filePath("log.txt")).contains("VID/PID 5a7c:00d2 loaded."), 15000);
        // The rewrite follows the load and replaces the file whole.
        QTRY_VERIFY_WITH_TIMEOUT(
            readFile(dir.filePath("tovra-cloud-printer-setup.ini")).contains("FileVersion=1"), 15000);
        QSettings ini(dir.filePath("tovra-cloud-printer-setup.ini"), QSettings::IniFormat);
        QCOMPARE(ini.value("Conf/Language").toInt(), 2);
        QCOMPARE(ini.value("Conf/VID_PID_List").toString(), QString("5a7c:00d2"));

        app.terminate();
        QVERIFY(app.waitForFinished(10000));
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
