// The font file upload: block pacing by the link's bytesWritten reports, the
// completion record, refusals, timeouts and a lost link, alone with a link
// that no printer is behind; against the printer simulator over loopback, a
// megabyte while the 4G page polls, and a cancel that makes the printer drop
// the partial file. The font dialog on its own: requests captured at the
// host command writer (their first bytes spell what went), entries compared
// as values of the settings model or with the bytes they were read from.

#include "fonts/dialogfontsettings.h"
#include "link/fileupload.h"
#include "linkfixture.h"
#include "pages/widgetwnet.h"
#include "pagesupport.h"
#include "recordcapture.h"
#include "ui/messagebox.h"

#include <QComboBox>
#include <QSpinBox>
#include <QTableWidget>

using settings::FontEntry;

namespace {

FontEntry font(const QString& script, const QString& file, const QString& ranges = {})
{
    FontEntry entry;
    entry.fromJson({{"font.enabled", 1}, {"font.ct", 11}, {"font.threshold", 18}, {"font.script", script},
                       {"font.file", file}, {"font.ranges", ranges}},
        nullptr);
    return entry;
}

// What a printer sends: the entry as a reply, `bytes` written over a field.
QByteArray reply(const FontEntry& entry, int field = 0, const QByteArray& bytes = {})
{
    return RecordWriter(entry.bytes()).u16(0, FontEntry::replyId()).bytes(entry.field(field).offset, bytes).data();
}

} // namespace

class TestFileUpload : public QObject
{
    Q_OBJECT

    LinkFixture f_;
    QTemporaryDir fonts_;
    RecordCapture capture_;
    Transceiver fakeLink_;
    QList<int> blocks_;
    QByteArray handed_;
    QByteArray codes_;
    std::unique_ptr<DialogFontSettings> dialog_;

    // The engine recording each block on its way, to the simulator's link
    // or, with `fake`, to a link that no printer is behind and whose
    // reports the test makes, while the records go to `capture_`.
    void attach(FileUpload& upload, bool fake)
    {
        if (fake) {
            capture_.install();
            upload.setLink(&fakeLink_);
        }
        upload.setBlockWriter([this, &upload, fake](const char* data, quint32 length, int timeoutMs) {
            blocks_.append(int(length));
            handed_.append(data, int(length));
            return fake || f_.link->write(data, length, timeoutMs, &upload);
        });
        connect(&hostCmd, &HostCmd::responseReceived, &upload, &FileUpload::handleResponse);
    }

    QString fontPath(const QString& name) const { return QDir(fonts_.path()).filePath(name); }

private Q_SLOTS:
    void initTestCase() { QVERIFY(fonts_.isValid() && seedFontFolder(fonts_.path())); }
    void init()
    {
        MessageBox::resetForTests();
        blocks_.clear();
        handed_.clear();
        codes_.clear();
        capture_.onRecord = [this](const QByteArray& record) { codes_ += record.left(1); };
        DialogFontSettings::setIntervals(0, 1);
        f_.makeLink();
    }
    void cleanup()
    {
        dialog_.reset();
        hostCmd.setWriter({});
        QCOMPARE(f_.dropLink(), 0);
    }

    // The fault: a report covering part of a block advanced the offset and
    // released a block at once, so bytes went twice or out of order.
    void oddReportsSendTheFileOnce_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<QList<int>>("reports");
        QTest::addColumn<QList<int>>("blocks");
        QTest::newRow("whole blocks") << 10000 << QList<int> {4080} << QList<int> {4080, 4080, 1840};
        QTest::newRow("odd pieces") << 9001 << QList<int> {1, 999, 3000, 7} << QList<int> {4080, 4080, 841};
        QTest::newRow("more than handed") << 8200 << QList<int> {5000, 20000} << QList<int> {4080, 4080, 40};
        QTest::newRow("exactly one block") << 4080 << QList<int> {100, 3980} << QList<int> {4080};
    }
    void oddReportsSendTheFileOnce()
    {
        QFETCH(int, size);
        QFETCH(QList<int>, reports);
        QFETCH(QList<int>, blocks);
        FileUpload upload;
        attach(upload, true);
        QSignalSpy finished(&upload, &FileUpload::finished);
        const QByteArray data = fileData(size);
        QVERIFY(upload.start("Font.ttf", data));
        upload.handleResponse(uploadReply(0));
        qint64 reported = 0;
        for (int i = 0; capture_.records.size() < 2 && i < 10000; ++i) {
            // One block in flight: the next goes once the last is reported in full.
            QVERIFY(handed_.size() <= reported + 4080);
            reported += reports[i % reports.size()];
            Q_EMIT fakeLink_.bytesWritten(reports[i % reports.size()]);
            QCoreApplication::sendPostedEvents(&upload);
        }
        QCOMPARE(blocks_, blocks);
        QCOMPARE(handed_, data);
        // The completion record with the size at 132 and the file's MD5 at 136, then the listing request.
        QCOMPARE(capture_.records.size(), 3);
        QCOMPARE(capture_.records[1].left(1) + capture_.records[1].mid(132),
            "c" + RecordWriter(4).u32(0, quint32(size)).data()
                + QCryptographicHash::hash(data, QCryptographicHash::Md5));
        QCOMPARE(capture_.records[2].left(18), QByteArray("a\x01/data/PUB/fonts/"));
        // A late report changes nothing; the printer listing the file with its size finishes.
        Q_EMIT fakeLink_.bytesWritten(4080);
        QCoreApplication::sendPostedEvents(&upload);
        upload.handleResponse(listingRow("Other.ttf", quint32(size)));
        QVERIFY(capture_.records.size() == 3 && finished.isEmpty());
        upload.handleResponse(listingRow("Font.ttf", quint32(size)));
        QCOMPARE(finished.size(), 1);
    }

    // Each wait has its bound, and every end lets go of the link so that
    // the next upload may start.
    void uploadEndsAndLetsGo_data()
    {
        QTest::addColumn<int>("status"); // the printer's answer to the request; -1: none
        QTest::addColumn<int>("report"); // of the first block; -1: the link goes down instead
        QTest::addColumn<int>("listed"); // the size the listing shows; -1: not listed
        QTest::addColumn<QString>("reason"); // empty: refused
        QTest::newRow("refused") << 3 << 0 << -1 << QString();
        QTest::newRow("request unanswered") << -1 << 0 << -1 << "The printer did not answer.";
        QTest::newRow("block reported short") << 0 << 4079 << -1 << "The printer stopped taking the file.";
        QTest::newRow("block reported as 0") << 0 << 0 << -1 << "The printer stopped taking the file.";
        QTest::newRow("link down mid-file") << 0 << -1 << -1 << "The connection to the printer was lost.";
        QTest::newRow("file not listed") << 0 << 4080 << -1 << "The printer did not keep the file.";
        QTest::newRow("listed with another size") << 0 << 4080 << 4079 << "The printer did not keep the file.";
    }
    void uploadEndsAndLetsGo()
    {
        QFETCH(int, status);
        QFETCH(int, report);
        QFETCH(int, listed);
        QFETCH(QString, reason);
        FileUpload upload;
        attach(upload, true);
        upload.setReplyTimeout(50);
        upload.setBlockTimeout(50);
        QSignalSpy failed(&upload, &FileUpload::failed);
        QSignalSpy refused(&upload, &FileUpload::refused);
        QVERIFY(upload.start("Stuck.ttf", fileData(4080)) && fakeLink_.isHeld());
        if (status >= 0)
            upload.handleResponse(uploadReply(quint16(status)));
        if (report < 0)
            Q_EMIT fakeLink_.disconnected();
        Q_EMIT fakeLink_.bytesWritten(report);
        QCoreApplication::sendPostedEvents(&upload);
        if (listed >= 0)
            upload.handleResponse(listingRow("Stuck.ttf", quint32(listed)));
        QTRY_COMPARE_WITH_TIMEOUT(failed.size() + refused.size(), 1, 5000);
        QCOMPARE(failed.isEmpty() ? QString() : failed.at(0).at(0).toString(), reason);
        QCOMPARE(blocks_.size(), status == 0 ? 1 : 0);
        QVERIFY(!upload.isActive() && !fakeLink_.isHeld());
        // The next one is refused at once when empty or when its path is over
        // 127 bytes ("/data/PUB/fonts/" is 16, "é" 2 in UTF-8).
        QVERIFY(!upload.start("Empty.ttf", {}));
        QVERIFY(!upload.start(QString(110, 'a') + QString::fromUtf8("é"), fileData(100)));
        QVERIFY(upload.start(QString(109, 'a') + QString::fromUtf8("é"), fileData(100)));
    }

    // Megabytes, while the 4G page's status poll is due at every turn of the
    // event loop: the polls keep off the file's bytes and go afterwards. A
    // cancel drops the partial file by reconnecting, and the next file (too
    // small to be cancelled) lands.
    void simulatorTakesUploadsWhole()
    {
        QVERIFY(
            f_.sim.start({"--font-dir", fonts_.path(), "--keepalive-ms", "0", "--no-discovery"}) && f_.connectTcp());
        FileUpload upload;
        attach(upload, false);
        QSignalSpy finished(&upload, &FileUpload::finished);
        const QByteArray data = fileData(1024 * 1024);
        {
            WidgetWnet page;
            page.setPollIntervalMs(0);
            MessageBox::queueAnswer(QMessageBox::Yes);
            page.doRestart();
            Responses statusReplies({4});
            const qint64 log = logSize();
            QVERIFY(upload.start("Polled.ttf", data) && finished.wait(60000));
            QVERIFY(!logMessagesSince(log, "20 bytes not written").isEmpty() && statusReplies.waitFor(1));
        }
        QCOMPARE(readFile(fontPath("Polled.ttf")), data);

        connect(&upload, &FileUpload::progress, this, [&upload](qint64 written) {
            if (written > 100000)
                upload.cancel();
        });
        QSignalSpy cancelled(&upload, &FileUpload::cancelled);
        QSignalSpy reconnected(f_.link.get(), &Transceiver::connected);
        QVERIFY(upload.start("Cancelled.ttf", fileData(3 * 1024 * 1024)));
        QVERIFY(reconnected.wait(60000) && cancelled.size() == 1 && !QFile::exists(fontPath("Cancelled.ttf")));
        QVERIFY(upload.start("After.ttf", fileData(10000)) && finished.wait(60000));
        QCOMPARE(readFile(fontPath("After.ttf")), fileData(10000));
    }

    // Walking every cell through its editor changes nothing: names no editor
    // lists and numbers outside the editors' ranges go back as they came; a
    // flag goes as 1, bytes after a text's or the range list's end as zero.
    // An edit enables Apply and changes its field only.
    void tablesFollowThePrinter()
    {
        capture_.install();
        const FontEntry han = font("HAN", "思源黑体.otf", "U+3000~U+303F;U+20000~U+2A6DF");
        QByteArray messy = reply(han, FontEntry::Enabled, "\x07");
        messy.replace(han.field(FontEntry::Script).offset + 4, 2, "XY")
            .replace(han.field(FontEntry::Ranges).offset + 24, 4, "UUUU");
        const QList<QByteArray> replies {messy, listingRow("Mono.ttf", 1733), listingRow("fonts.conf", 90),
            listingRow("宋体.ttc", 2000), reply(font("COMMON", "a.ttf"), FontEntry::FaceIndex, "\xff\xff\xff\xff"),
            reply(font("INHERITED", ""), FontEntry::Threshold, QByteArray::fromHex("2c018000"))};
        // Shown (cell editors open only on screen) and past the first requests, which lock Refresh a while.
        dialog_ = std::make_unique<DialogFontSettings>();
        dialog_->show();
        QTRY_COMPARE(codes_, QByteArray("Qa"));
        QVERIFY(!dialog_->refreshButton()->isEnabled());
        QTRY_VERIFY(dialog_->refreshButton()->isEnabled());
        for (const QByteArray& bytes : replies)
            dialog_->handleResponse(bytes);
        QTableWidget* table = dialog_->fontSettingsTable();
        QCOMPARE(table->item(0, 12)->text(), QString("U+3000~U+303F;U+20000~U+2A6DF"));

        // On the way: the listed fonts ("fonts.conf" is none) in the font
        // editor, and the spin boxes' ranges, widened only to show a value
        // the printer sent.
        QString offered;
        table->setCurrentCell(0, 0);
        for (int i = 1; i < 3 * table->columnCount(); ++i) {
            QWidget* editor = table->indexWidget(table->currentIndex());
            if (auto* box = qobject_cast<QSpinBox*>(editor))
                offered += QStringLiteral(" %1..%2").arg(box->minimum()).arg(box->maximum());
            if (auto* box = qobject_cast<QComboBox*>(editor); box && box->isEditable())
                offered += QStringLiteral(" %1:%2").arg(box->count()).arg(box->itemText(1));
            QTest::keyClick(table, Qt::Key_Tab);
        }
        QCOMPARE(offered.split(" 2:宋体.ttc "),
            QStringList({"", "0..7 0..255 0..96 0..96 0..96", "-1..7 0..255 0..96 0..96 0..96",
                "0..7 0..300 0..128 0..96 0..96"}));
        QVERIFY(!dialog_->applyButton()->isEnabled());
        dialog_->doApply();
        const QList<QByteArray> read {
            han.bytes(), FontEntry::fromReply(replies.at(4))->bytes(), FontEntry::fromReply(replies.at(5))->bytes()};
        QCOMPARE(capture_.records.mid(3, 3), read);

        table->item(0, 0)->setData(Qt::CheckStateRole, Qt::Unchecked);
        table->item(1, 4)->setData(Qt::DisplayRole, 3);
        // "x" and twenty 3-byte characters fill 61 of 63 bytes: cut between characters.
        table->item(2, 3)->setData(Qt::DisplayRole, "x" + QString(30, QChar(0x9ED1)));
        // An edit of a threshold sent outside the range lands inside it, not dropped.
        table->setCurrentCell(2, 5);
        table->edit(table->currentIndex());
        qobject_cast<QSpinBox*>(table->indexWidget(table->currentIndex()))->setValue(299);
        QTest::keyClick(table, Qt::Key_Tab);
        QCOMPARE(table->item(2, 5)->text(), QString("255"));
        QVERIFY(dialog_->applyButton()->isEnabled());
        dialog_->applyButton()->click();
        QVERIFY(!dialog_->applyButton()->isEnabled());
        QString changes;
        for (int row = 0; row < 3; ++row) {
            const FontEntry sent = FontEntry::fromCommand(capture_.records.at(8 + row)).value();
            const QStringList names = sent.differences(FontEntry::fromCommand(read.at(row)).value());
            changes += names.join(',') + '=' + sent.toJson().value(names.value(0)).toVariant().toString() + ' ';
        }
        QCOMPARE(
            changes, "font.enabled=0 font.face_index=3 font.file,font.threshold=x" + QString(20, QChar(0x9ED1)) + ' ');

        buttonOf(*dialog_, "Reset to &Default")->click();
        QCOMPARE(table->rowCount(), 0);
        // Uninstalling asks first, and not without a selection.
        dialog_->doRemoveFont();
        dialog_->installedFontsTable()->selectRow(1);
        for (QMessageBox::StandardButton answer : {QMessageBox::No, QMessageBox::Yes}) {
            MessageBox::queueAnswer(answer);
            dialog_->doRemoveFont();
        }
        QCOMPARE(MessageBox::takeShown().size(), 2);
        QVERIFY(capture_.records.at(14).contains(QByteArray(DialogFontSettings::kFontFolder) + "宋体.ttc"));
        dialog_->refreshButton()->click();
        QVERIFY(!dialog_->refreshButton()->isEnabled());
        QCOMPARE(codes_, QByteArray("QaRSSSTRSSSTUQdaQa"));
    }

    // Once the upload request is out nothing else goes until the printer
    // answers: neither the first refresh, due on the next turn of the event
    // loop, nor any button. A refusal shows no progress and says so; the
    // progress's Cancel really stops the transfer.
    void installHoldsTheLinkUntilAnswered()
    {
        capture_.install();
        dialog_ = std::make_unique<DialogFontSettings>();
        const QString path = writeScratchFile("Font.ttf", QByteArray(10000, 'f'));
        DialogFontSettings::setFileChooser([path](QWidget*) { return path; });
        Transceiver link;
        dialog_->upload()->setLink(&link);
        dialog_->upload()->setBlockWriter([](const char*, quint32, int) { return true; });
        dialog_->doAddFont();
        QCoreApplication::processEvents();
        QCOMPARE(codes_, QByteArray("b"));
        QVERIFY(!buttonOf(*dialog_, "&Uninstall Font")->isEnabled() && !dialog_->applyButton()->isEnabled());
        MessageBox::queueAnswer(QMessageBox::Ok);
        dialog_->handleResponse(uploadReply(3));
        QVERIFY(!dialog_->progressDialog() && MessageBox::takeShown().size() == 1);
        QVERIFY(dialog_->applyButton()->isEnabled());
        QTRY_COMPARE(codes_, QByteArray("bQa"));

        dialog_->doAddFont();
        dialog_->handleResponse(uploadReply(0));
        QVERIFY(dialog_->progressDialog());
        dialog_->progressDialog()->findChild<QPushButton*>()->click();
        QVERIFY(!dialog_->progressDialog() && !dialog_->upload()->isActive());
    }
};

QTEST_MAIN(TestFileUpload)
#include "tst_fileupload.moc"
