// The images compiled into the program, the icons the main window shows and
// the files installed for the desktop.

#include "ui/mainwindow.h"

#include <QAction>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

class TestResources : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void imageLoads_data()
    {
        QTest::addColumn<QString>("path");
        for (const char* name :
            {"app", "world", "cog", "gzoom", "update", "disconnect", "network_wireless", "disk", "connect"})
            QTest::newRow(name) << QStringLiteral(":/images/%1.png").arg(QLatin1String(name));
    }
    void imageLoads()
    {
        QFETCH(QString, path);
        const QImage image(path);
        QCOMPARE(image.size(), QSize(32, 32));
        // Drawn on a transparent ground.
        QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
    }

    void mainWindowShowsIcons()
    {
        MainWindow window;
        for (QAction* action : {window.connectAction(), window.disconnectAction(), window.reloadAction(),
                 window.exportAction(), window.importAction(), window.preferencesAction()})
            QVERIFY2(!action->icon().pixmap(32, 32).isNull(), qPrintable(action->text()));
        const QImage app = QImage(QStringLiteral(":/images/app.png")).convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(window.windowIcon().pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32), app);
    }

    void desktopIconIs256() { QCOMPARE(QImage(QStringLiteral(TOVRA_DESKTOP_ICON)).size(), QSize(256, 256)); }

    void desktopEntryValidates()
    {
        const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
        if (validator.isEmpty())
            QSKIP("desktop-file-validate is not installed");
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(validator, {QStringLiteral(TOVRA_DESKTOP_FILE)});
        QVERIFY(process.waitForFinished(30000));
        const QByteArray output = process.readAll();
        // Hints and warnings exit 0 too; the entry should have none.
        QVERIFY2(process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0 && output.trimmed().isEmpty(),
            output.constData());
    }
};

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
