// The font file upload: block pacing by the link's bytesWritten reports, the
// request and completion records, refusals, cancel and a dropped link; alone
// with a fake link, against the printer simulator over loopback, and under
// the font dialog beside the main window, where the printer checks each
// installed file's digest.

#include "fonts/dialogfontsettings.h"
#include "link/fileupload.h"
#include "settings/recordlayouts.h"
#include "settings/records.h"
#include "linkfixture.h"
#include "modalcloser.h"
#include "pages/widgetwnet.h"
#include "pagesupport.h"
#include "recordcapture.h"
#include "ui/mainwindow.h"
#include "ui/messagebox.h"

#include <QCryptographicHash>
#include <QProgressDialog>
#include <QTableWidget>

namespace {

QByteArray uploadReply(quint16 status)
{
    return RecordWriter(152).u8(0, 0x62).u8(1, 1).u16(2, status).data();
}

QByteArray listing(const QByteArray& name, quint32 size)
{
    return RecordWriter(134).u8(0, 0x61).u8(1, 1).bytes(2, name).u32(130, size).data();
}

} // namespace

class TestFileUpload : public QObject
{
    Q_OBJECT

    LinkFixture f_;
    QTemporaryDir fonts_;
    QList<int> blocks_;
    QByteArray handed_;
    std::unique_ptr<MainWindow> window_;
    std::unique_ptr<DialogFontSettings> dialog_;

    bool startAndConnect()
    {
        return f_.sim.start({"--font-dir", fonts_.path(), "--keepalive-ms", "0", "--no-discovery"}) && f_.connectTcp();
    }

    // The engine on the real link, recording each block on its way.
    void attach(FileUpload& upload)
    {
        upload.setBlockWriter([this, &upload](const char* data, quint32 length, int timeoutMs) {
            blocks_.append(int(length));
            handed_.append(data, int(length));
            return f_.link->write(data, length, timeoutMs, &upload);
        });
        connect(&hostCmd, &HostCmd::responseReceived, &upload, &FileUpload::handleResponse);
    }

    QByteArray installed(const QString& name) const { return readFile(QDir(fonts_.path()).filePath(name)); }

    // A read request answered proves the link and the printer's parser are in step.
    bool linkAnswers() { return requestRecords({layout::readtype::kAudio}).size() == 1; }

    bool connected() const { return window_->statusLabel()->text() == f_.connectedText(); }

    // The window on a link and the dialog as the print page opens it, with
    // its first answers in.
    bool openDialog()
    {
        window_ = std::make_unique<MainWindow>();
        if (!startAndConnect() || !QTest::qWaitFor([this] { return connected(); }, 15000))
            return false;
        dialog_ = std::make_unique<DialogFontSettings>(window_.get());
        dialog_->show();
        return QTest::qWaitFor(
            [this] {
                return dialog_->fontSettingsTable()->rowCount() > 0 && dialog_->installedFontsTable()->rowCount() > 0;
            },
            15000);
    }

    QString cell(int row, int column) const { return dialog_->fontSettingsTable()->item(row, column)->text(); }

    // The next Add Font picks a new file of that name and content.
    static void chooseFile(const QString& name, const QByteArray& data)
    {
        const QString path = writeScratchFile(name, data);
        DialogFontSettings::setFileChooser([path](QWidget*) { return path; });
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(f_.initCase());
        QVERIFY(fonts_.isValid() && seedFontFolder(fonts_.path()));
    }
    void cleanupTestCase() { f_.cleanupCase(); }

    void init()
    {
        MessageBox::resetForTests();
        blocks_.clear();
        handed_.clear();
        f_.makeLink();
    }
    void cleanup()
    {
        dialog_.reset();
        DialogFontSettings::setFileChooser({});
        window_.reset();
        hostCmd.setWriter({});
        QCOMPARE(f_.dropLink(), 0);
    }

    // The fault: a report covering part of a block advanced the offset and
    // released a block at once, so bytes went twice or out of order.
    void oddReportsSendTheFileOnce_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<QList<int>>("reports");
        QTest::newRow("whole blocks") << 10000 << QList<int> {4080};
        QTest::newRow("halves") << 10000 << QList<int> {2040};
        QTest::newRow("odd pieces") << 9001 << QList<int> {1, 999, 3000, 7};
        QTest::newRow("more than handed") << 8200 << QList<int> {5000, 20000};
        QTest::newRow("exactly one block") << 4080 << QList<int> {100, 3980};
    }
    void oddReportsSendTheFileOnce()
    {
        QFETCH(int, size);
        QFETCH(QList<int>, reports);
        RecordCapture capture;
        capture.install();
        Transceiver fakeLink;
        FileUpload upload;
        upload.setLink(&fakeLink);
        upload.setBlockWriter([this](const char* data, quint32 length, int) {
            blocks_.append(int(length));
            handed_.append(data, int(length));
            return true;
        });
        QSignalSpy finished(&upload, &FileUpload::finished);
        const QByteArray data = fileData(size);
        QVERIFY(upload.start("Font.ttf", data));
        upload.handleResponse(uploadReply(0));
        for (int i = 0; capture.records.size() < 2 && i < 10000; ++i) {
            Q_EMIT fakeLink.bytesWritten(reports[i % reports.size()]);
            QCoreApplication::sendPostedEvents(&upload);
        }
        QCOMPARE(handed_, data);
        for (int block : qAsConst(blocks_))
            QVERIFY(block <= FileUpload::kBlockSize);
        QCOMPARE(capture.records.size(), 3);
        const RecordReader done(capture.records[1]);
        QCOMPARE(done.u8(0), quint8(0x63));
        QCOMPARE(done.u32(layout::file::kFileSize), quint32(size));
        QCOMPARE(done.bytes(layout::file::kDigest, 16), QCryptographicHash::hash(data, QCryptographicHash::Md5));
        // Finished once the printer lists the file with its size.
        QCOMPARE(capture.records[2].left(18), QByteArray("a\x01/data/PUB/fonts/"));
        upload.handleResponse(listing("Other.ttf", quint32(size)));
        QVERIFY(finished.isEmpty());
        upload.handleResponse(listing("Font.ttf", quint32(size)));
        QCOMPARE(finished.size(), 1);

        // A late report after completion changes nothing.
        QSignalSpy progress(&upload, &FileUpload::progress);
        Q_EMIT fakeLink.bytesWritten(4080);
        QCoreApplication::sendPostedEvents(&upload);
        QCOMPARE(handed_.size(), size);
        QCOMPARE(capture.records.size(), 3);
        QVERIFY(progress.isEmpty());
    }

    void refusedBeforeSending_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<qint64>("size");
        // "/data/PUB/fonts/" is 16 bytes; "é" is 2 bytes in UTF-8.
        QTest::newRow("path of 128 bytes") << QString(112, 'a') << qint64(10);
        QTest::newRow("path of 128 UTF-8 bytes") << QString(110, 'a') + QString::fromUtf8("é") << qint64(10);
        QTest::newRow("empty file") << "Font.ttf" << qint64(0);
    }
    void refusedBeforeSending()
    {
        QFETCH(QString, name);
        QFETCH(qint64, size);
        RecordCapture capture;
        capture.install();
        FileUpload upload;
        QVERIFY(!upload.start(name, QByteArray(int(size), 'x')));
        QVERIFY(!upload.errorString().isEmpty());
        QVERIFY(capture.records.isEmpty());
        QVERIFY(!upload.isActive());
        // The longest path that fits does go.
        QVERIFY(upload.start(QString(111, 'a'), QByteArray(10, 'x')));
        QCOMPARE(capture.records.size(), 1);
    }

    void uploadLandsByteExact_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<QList<int>>("blocks");
        QTest::addColumn<bool>("polled");
        QTest::newRow("10000 bytes") << 10000 << QList<int> {4080, 4080, 1840} << false;
        QTest::newRow("one block") << 4080 << QList<int> {4080} << false;
        // Megabytes prove the queued pacing: a directly connected slot stalls.
        QTest::newRow("3 MiB") << 3 * 1024 * 1024 << QList<int>() << false;
        // The 4G page's status poll, due at every turn of the event loop,
        // keeps off the file's bytes and goes afterwards.
        QTest::newRow("1 MiB under status polls") << 1024 * 1024 << QList<int>() << true;
    }
    void uploadLandsByteExact()
    {
        QFETCH(int, size);
        QFETCH(QList<int>, blocks);
        QFETCH(bool, polled);
        QVERIFY(startAndConnect());
        FileUpload upload;
        attach(upload);
        QSignalSpy finished(&upload, &FileUpload::finished);
        const QString name = QStringLiteral("Upload-%1.ttf").arg(size);
        const QByteArray data = fileData(size);
        WidgetWnet page;
        int statusReplies = 0;
        if (polled) {
            page.setPollIntervalMs(0);
            MessageBox::queueAnswer(QMessageBox::Yes);
            page.doRestart();
            connect(&hostCmd, &HostCmd::responseReceived, &page, [&statusReplies](const QByteArray& record) {
                statusReplies += RecordReader(record).u16(0) == layout::readtype::kWnet;
            });
        }
        const qint64 log = logSize();
        QVERIFY(upload.start(name, data));
        QVERIFY(finished.wait(60000));
        QCOMPARE(logMessagesSince(log, "20 bytes not written").isEmpty(), !polled);
        // The polls kept off the link go afterwards.
        QTRY_VERIFY_WITH_TIMEOUT(statusReplies > 0 || !polled, 15000);
        if (!blocks.isEmpty())
            QCOMPARE(blocks_, blocks);
        QCOMPARE(handed_, data);
        // The printer stores the file once the completion record is checked.
        QVERIFY(linkAnswers());
        QCOMPARE(installed(name), data);
    }

    void printerRefusalSendsNoData_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("parent") << "../escape.ttf";
        QTest::newRow("absolute") << "/tmp/escape.ttf";
        QTest::newRow("subfolder") << "sub/font.ttf";
        QTest::newRow("dot dot") << "..";
    }
    void printerRefusalSendsNoData()
    {
        QFETCH(QString, name);
        QVERIFY(startAndConnect());
        FileUpload upload;
        attach(upload);
        QSignalSpy refused(&upload, &FileUpload::refused);
        // Passes the engine's checks; the printer keeps files in its font folder only.
        QVERIFY(upload.start(name, fileData(5000)));
        QVERIFY(refused.wait(15000));
        QVERIFY(refused.at(0).at(0).toUInt() != 0);
        QVERIFY(blocks_.isEmpty());
        QVERIFY(!upload.isActive());
        QVERIFY(linkAnswers());
        QVERIFY(!QFile::exists(QDir(fonts_.path()).filePath("../escape.ttf")));
        QVERIFY(!QFile::exists("/tmp/escape.ttf"));
    }

    void defaultFolderIsListed()
    {
        QVERIFY(f_.sim.start({"--keepalive-ms", "0"}) && f_.connectTcp());
        QSignalSpy responses(&hostCmd, &HostCmd::responseReceived);
        QVERIFY(hostCmd.requestDirectory("/data/PUB/fonts/"));
        while (responses.size() < 3)
            QVERIFY(responses.wait(15000));
        QStringList names;
        for (const QList<QVariant>& arguments : qAsConst(responses)) {
            const RecordReader entry(arguments.at(0).toByteArray());
            QVERIFY(entry.size() >= 134);
            QCOMPARE(entry.u16(0), quint16(0x0161));
            QVERIFY(entry.u32(layout::file::kShortSize) > 0);
            names.append(entry.utf8(layout::file::kShortPath, layout::file::kPathWidth));
        }
        QVERIFY(names.contains("fonts.conf"));
    }

    // Each wait has its bound: an unanswered request, a block never reported
    // in full, a listing without the file fail the upload, and the next may start.
    void stuckUploadFails_data()
    {
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<int>("report");
        QTest::addColumn<int>("listed");
        QTest::addColumn<QString>("reason");
        QTest::newRow("request unanswered") << false << 0 << -1 << "The printer did not answer.";
        QTest::newRow("block reported short") << true << 4079 << -1 << "The printer stopped taking the file.";
        QTest::newRow("block reported as 0") << true << 0 << -1 << "The printer stopped taking the file.";
        QTest::newRow("file not listed") << true << 4080 << -1 << "The printer did not keep the file.";
        QTest::newRow("listed with another size") << true << 4080 << 4079 << "The printer did not keep the file.";
    }
    void stuckUploadFails()
    {
        QFETCH(bool, accepted);
        QFETCH(int, report);
        QFETCH(int, listed);
        QFETCH(QString, reason);
        RecordCapture capture;
        capture.install();
        Transceiver fakeLink;
        FileUpload upload;
        upload.setLink(&fakeLink);
        upload.setBlockWriter([](const char*, quint32, int) { return true; });
        upload.setReplyTimeout(50);
        upload.setBlockTimeout(50);
        QSignalSpy failed(&upload, &FileUpload::failed);
        QVERIFY(upload.start("Stuck.ttf", fileData(4080)));
        if (accepted)
            upload.handleResponse(uploadReply(0));
        Q_EMIT fakeLink.bytesWritten(report);
        QCoreApplication::sendPostedEvents(&upload);
        if (listed >= 0)
            upload.handleResponse(listing("Stuck.ttf", quint32(listed)));
        QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, 5000);
        QCOMPARE(failed.at(0).at(0).toString(), reason);
        QVERIFY(!upload.isActive());
        QVERIFY(upload.start("Stuck.ttf", fileData(100)));
    }

    void tableIsReadAppliedAndReset()
    {
        QVERIFY(openDialog());
        QTableWidget* table = dialog_->fontSettingsTable();
        const int rows = table->rowCount();
        QVERIFY(rows > 1);
        const QString threshold = cell(0, 5);
        const QString font = cell(0, 3);
        QVERIFY(!cell(0, 12).isEmpty());
        // No configuration file among the fonts.
        QVERIFY(!dialog_->installedFontNames().isEmpty());
        QVERIFY(!dialog_->installedFontNames().contains("fonts.conf"));

        table->item(0, 5)->setData(Qt::DisplayRole, threshold == "200" ? 201 : 200);
        table->item(0, 3)->setText(QString::fromUtf8("思源黑体-常规.otf"));
        const QString edited = cell(0, 5);
        QVERIFY(dialog_->applyButton()->isEnabled());
        dialog_->applyButton()->click();
        dialog_->doRefresh();
        QTRY_COMPARE_WITH_TIMEOUT(table->rowCount(), rows, 15000);
        QCOMPARE(cell(0, 5), edited);
        QCOMPARE(cell(0, 3), QString::fromUtf8("思源黑体-常规.otf"));

        buttonOf(*dialog_, "Reset to &Default")->click();
        QTRY_COMPARE_WITH_TIMEOUT(table->rowCount(), rows, 15000);
        QCOMPARE(cell(0, 5), threshold);
        QCOMPARE(cell(0, 3), font);
    }

    void fontIsInstalledAndUninstalled_data()
    {
        QTest::addColumn<int>("size");
        QTest::newRow("one block") << 4080;
        QTest::newRow("three blocks") << 10000;
        QTest::newRow("3 MiB") << 3 * 1024 * 1024;
    }
    void fontIsInstalledAndUninstalled()
    {
        QFETCH(int, size);
        QVERIFY(openDialog());
        const QString name = QString::fromUtf8("Font-%1-黑体.ttf").arg(size);
        const QByteArray data = fileData(size);
        chooseFile(name, data);
        dialog_->doAddFont();
        // The printer keeps the file only when size and MD5 match; the dialog re-lists.
        QTRY_VERIFY_WITH_TIMEOUT(dialog_->installedFontNames().contains(name), 60000);
        QCOMPARE(installed(name), data);
        QVERIFY(!dialog_->progressDialog());
        QTableWidget* fonts = dialog_->installedFontsTable();
        int row = -1;
        for (int r = 0; r < fonts->rowCount(); ++r)
            if (fonts->item(r, 0)->text() == name)
                row = r;
        QVERIFY(row >= 0);
        QCOMPARE(fonts->item(row, 1)->text(), QString::number(size));

        fonts->selectRow(row);
        MessageBox::queueAnswer(QMessageBox::Yes);
        dialog_->doRemoveFont();
        QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(QDir(fonts_.path()).filePath(name)), 15000);
        QTRY_VERIFY_WITH_TIMEOUT(!dialog_->installedFontNames().isEmpty(), 15000);
        QVERIFY(!dialog_->installedFontNames().contains(name));
    }

    // Cancel drops the partial file by reconnecting; the window follows the
    // link back without offering to reconnect, and the next install works.
    void cancelReconnectsQuietly()
    {
        QVERIFY(openDialog());
        ModalCloser modal({"QProgressDialog"});
        chooseFile("Cancelled.ttf", fileData(3 * 1024 * 1024));
        connect(dialog_->upload(), &FileUpload::progress, this, [this](qint64 written) {
            if (written > 100000 && dialog_->progressDialog())
                dialog_->progressDialog()->findChild<QPushButton*>()->click();
        });
        QSignalSpy cancelled(dialog_->upload(), &FileUpload::cancelled);
        QSignalSpy finished(dialog_->upload(), &FileUpload::finished);
        QSignalSpy reconnected(f_.link.get(), &Transceiver::connected);
        dialog_->doAddFont();
        QTRY_COMPARE_WITH_TIMEOUT(cancelled.size(), 1, 60000);
        QVERIFY(finished.isEmpty());
        QVERIFY(!dialog_->progressDialog());
        // The window's status still shows the link the cancel closed until
        // it has seen that link go; only the new link's connected() counts.
        QTRY_VERIFY_WITH_TIMEOUT(reconnected.size() == 1 && connected(), 15000);
        QVERIFY(!QFile::exists(QDir(fonts_.path()).filePath("Cancelled.ttf")));

        disconnect(dialog_->upload(), &FileUpload::progress, this, nullptr);
        const QByteArray data = fileData(10000);
        chooseFile("After.ttf", data);
        dialog_->doAddFont();
        QTRY_VERIFY_WITH_TIMEOUT(dialog_->installedFontNames().contains("After.ttf"), 60000);
        QCOMPARE(installed("After.ttf"), data);
        QCOMPARE(modal.seen, QStringList());
        QVERIFY(MessageBox::takeShown().isEmpty());
    }

    // The printer goes away mid-file: the progress closes, the user is told,
    // and once the printer is back the next install works.
    void droppedLinkEndsTheUpload()
    {
        QVERIFY(openDialog());
        ModalCloser modal({"QProgressDialog"});
        chooseFile("Dropped.ttf", fileData(3 * 1024 * 1024));
        bool stopped = false;
        connect(dialog_->upload(), &FileUpload::progress, this, [this, &stopped](qint64 written) {
            if (written > 100000 && !stopped) {
                stopped = true;
                f_.sim.stop();
            }
        });
        QSignalSpy failed(dialog_->upload(), &FileUpload::failed);
        QSignalSpy finished(dialog_->upload(), &FileUpload::finished);
        MessageBox::queueAnswer(QMessageBox::Ok);
        dialog_->doAddFont();
        QList<MessageBox::Shown> shown;
        QTRY_VERIFY_WITH_TIMEOUT((shown += MessageBox::takeShown()).size() == 1, 60000);
        QVERIFY(!dialog_->progressDialog());
        QVERIFY(!dialog_->upload()->isActive());
        // Ended once, and not as a success.
        QTest::qWait(100);
        QCOMPARE(failed.size(), 1);
        QVERIFY(finished.isEmpty());

        disconnect(dialog_->upload(), &FileUpload::progress, this, nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(modal.seen.contains("DialogReconnect"), 15000);
        f_.link->close();
        QVERIFY(startAndConnect() && QTest::qWaitFor([this] { return connected(); }, 15000));
        const QByteArray data = fileData(10000);
        chooseFile("AfterDrop.ttf", data);
        dialog_->doAddFont();
        QTRY_COMPARE_WITH_TIMEOUT(installed("AfterDrop.ttf"), data, 60000);
        QVERIFY(!QFile::exists(QDir(fonts_.path()).filePath("Dropped.ttf")));
    }
};

QTEST_MAIN(TestFileUpload)
#include "tst_fileupload.moc"
