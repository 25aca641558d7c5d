// The application executable's start-up: log first, configuration read and
// rewritten, window shown.

#include "testsupport.h"

#include <QSettings>
#include <QTest>

class TestStartup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void startsAndRewritesOldConfiguration()
    {
        ScratchDirectory dir;
        const QString ini = "tovra-cloud-printer-setup.ini";
        const QByteArray old = "[Conf]\nFileVersion=2\nLanguage=2\nVID_PID_List=\"5A7C:00D2\"\n";
        QVERIFY(dir.isValid() && !writeScratchFile(ini, old).isEmpty());
        QProcess app;
        app.setProcessChannelMode(QProcess::ForwardedChannels);
        app.start(QStringLiteral(TOVRA_APP_EXECUTABLE), {});
        QVERIFY(app.waitForStarted(10000));

        // The configuration is loaded after the log is opened, so its line is there.
        QTRY_VERIFY_WITH_TIMEOUT(readFile("log.txt").contains("VID/PID 5a7c:00d2 loaded."), 15000);
        // The rewrite follows the load and replaces the file whole.
        QTRY_VERIFY_WITH_TIMEOUT(readFile(ini).contains("FileVersion=1"), 15000);
        const QSettings settings(ini, QSettings::IniFormat);
        QCOMPARE(settings.value("Conf/Language").toString() + ' ' + settings.value("Conf/VID_PID_List").toString(),
            QString("2 5a7c:00d2"));

        app.terminate();
        QVERIFY(app.waitForFinished(10000));
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
