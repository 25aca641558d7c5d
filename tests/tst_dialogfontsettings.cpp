// The font dialog on its own: the refresh sequence and its timers, rows as
// they arrive, what Apply and Reset send (captured at the host command writer
// and decrypted), the cell editors, the installed fonts list, uninstalling,
// and the install checks made before anything is sent.

#include "fonts/dialogfontsettings.h"
#include "link/fileupload.h"
#include "link/hostcmd.h"
#include "settings/records.h"
#include "link/transceiver.h"
#include "recordcapture.h"
#include "testsupport.h"
#include "ui/messagebox.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QProgressDialog>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>

#include <memory>

namespace {

struct Range
{
    quint32 first, last;
};

} // namespace

Q_DECLARE_METATYPE(Range)

namespace {

// A font settings entry as a printer sends it; offsets written out here on
// purpose, apart from the program's layout table.
QByteArray entry(quint8 enabled, const QByteArray& script, const QByteArray& language, const QByteArray& font,
    const QList<Range>& ranges = {}, qint32 faceIndex = 0)
{
    RecordWriter w(438);
    w.u8(0, 0x51).u8(1, 0x01).u8(2, enabled).u8(3, 11).u8(4, 22).u8(5, 33);
    w.bytes(6, script).bytes(38, language).bytes(42, font);
    w.i32(106, faceIndex).u16(110, 128).u16(112, 24).u16(114, 24).u16(116, 12);
    for (int i = 0; i < ranges.size(); ++i)
        w.u32(118 + 8 * i, ranges[i].first).u32(122 + 8 * i, ranges[i].last);
    return w.data();
}

QByteArray listing(const QByteArray& name, quint32 size)
{
    return RecordWriter(134).u8(0, 0x61).u8(1, 1).bytes(2, name).u32(130, size).data();
}

QByteArray command(char code)
{
    return QByteArray(1, code) + '\x01';
}

QByteArray pathCommand(char code, const QByteArray& path)
{
    return RecordWriter(130).u8(0, quint8(code)).u8(1, 1).bytes(2, path).data();
}

} // namespace

class TestDialogFontSettings : public QObject
{
    Q_OBJECT

    ScratchDirectory dir_;
    RecordCapture capture_;
    std::unique_ptr<DialogFontSettings> dialog_;

    // A dialog whose start-up requests have gone out.
    void openStarted()
    {
        dialog_ = std::make_unique<DialogFontSettings>();
        // Cell editors open only in a visible view.
        dialog_->show();
        QTRY_COMPARE_WITH_TIMEOUT(capture_.records.size(), 2, 5000);
        capture_.records.clear();
    }

    QTableWidget* table() const { return dialog_->fontSettingsTable(); }
    QString cell(int row, int column) const { return table()->item(row, column)->text(); }

private Q_SLOTS:
    void initTestCase() { QVERIFY(dir_.isValid()); }

    void init()
    {
        capture_.records.clear();
        capture_.result = true;
        capture_.install();
        MessageBox::resetForTests();
    }
    void cleanup()
    {
        dialog_.reset();
        DialogFontSettings::setFileChooser({});
        hostCmd.setWriter({});
    }

    void refreshSequenceKeepsItsPauses()
    {
        QList<qint64> sentAt;
        QElapsedTimer clock;
        capture_.onRecord = [&](const QByteArray&) { sentAt.append(clock.elapsed()); };
        clock.start();
        dialog_ = std::make_unique<DialogFontSettings>();
        QVERIFY(!dialog_->refreshButton()->isEnabled());
        QTest::qWait(100);
        QVERIFY(capture_.records.isEmpty());

        QTRY_COMPARE_WITH_TIMEOUT(capture_.records.size(), 2, 5000);
        QCOMPARE(capture_.records.at(0), command('Q'));
        QCOMPARE(capture_.records.at(1), pathCommand('a', "/data/PUB/fonts/"));
        QVERIFY2(sentAt.at(0) >= 200, qPrintable(QString::number(sentAt.at(0))));
        QVERIFY(sentAt.at(1) - sentAt.at(0) >= 5);
        QVERIFY(!dialog_->refreshButton()->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(dialog_->refreshButton()->isEnabled(), 5000);
        QVERIFY2(clock.elapsed() - sentAt.at(0) >= 1000 - 5, qPrintable(QString::number(clock.elapsed())));

        // Refresh locks itself again and repeats both requests.
        capture_.records.clear();
        capture_.onRecord = {};
        dialog_->refreshButton()->click();
        QVERIFY(!dialog_->refreshButton()->isEnabled());
        QCOMPARE(capture_.records, (QList<QByteArray> {command('Q'), pathCommand('a', "/data/PUB/fonts/")}));
    }

    void rowsShowEntriesInArrivalOrder_data()
    {
        QTest::addColumn<QList<Range>>("ranges");
        QTest::addColumn<QString>("text");
        QTest::newRow("two ranges") << QList<Range> {{0x20, 0x7E}, {0xA0, 0xFF}} << "U+0020~U+007E;U+00A0~U+00FF";
        QTest::newRow("none") << QList<Range> {} << "";
        QTest::newRow("beyond the BMP") << QList<Range> {{0x4E00, 0x9FFF}, {0x20000, 0x2A6DF}}
                                        << "U+4E00~U+9FFF;U+20000~U+2A6DF";
        QList<Range> all;
        QStringList texts;
        for (quint32 i = 1; i <= 40; ++i) {
            all.append({i * 0x100, i * 0x100 + 0xFF});
            texts.append(QStringLiteral("U+%1~U+%2")
                             .arg(i * 0x100, 4, 16, QChar('0'))
                             .arg(i * 0x100 + 0xFF, 4, 16, QChar('0'))
                             .toUpper());
        }
        QTest::newRow("all forty slots") << all << texts.join(';');
    }
    void rowsShowEntriesInArrivalOrder()
    {
        QFETCH(QList<Range>, ranges);
        QFETCH(QString, text);
        openStarted();
        QVERIFY(dialog_->applyButton()->isEnabled());
        dialog_->handleResponse(entry(1, "LATIN", "en", "DejaVuSansMono.ttf", {{0x20, 0x7E}}));
        dialog_->handleResponse(entry(0, "HAN", "zh", "NotoSansSC-Regular.otf", ranges, -3));
        // One byte short: dropped.
        dialog_->handleResponse(entry(1, "GREEK", "el", "x.ttf").left(437));
        dialog_->handleResponse(entry(5, "HANGUL", "ko", "Nanum.ttf"));
        QCOMPARE(table()->rowCount(), 3);
        QCOMPARE(cell(0, 1), QString("LATIN"));
        QCOMPARE(cell(1, 1), QString("HAN"));
        QCOMPARE(cell(2, 1), QString("HANGUL"));
        QCOMPARE(table()->item(0, 0)->checkState(), Qt::Checked);
        QCOMPARE(table()->item(1, 0)->checkState(), Qt::Unchecked);
        QCOMPARE(table()->item(2, 0)->checkState(), Qt::Checked);
        QCOMPARE(cell(1, 2), QString("zh"));
        QCOMPARE(cell(1, 3), QString("NotoSansSC-Regular.otf"));
        QCOMPARE(cell(1, 4), QString("-3"));
        QCOMPARE(cell(1, 5), QString("128"));
        QCOMPARE(cell(1, 9) + cell(1, 10) + cell(1, 11), QString("112233"));
        QCOMPARE(cell(1, 12), text);
        QVERIFY(!(table()->item(1, 12)->flags() & Qt::ItemIsEditable));
        QVERIFY(table()->item(1, 8)->flags() & Qt::ItemIsEditable);
        QVERIFY(!dialog_->applyButton()->isEnabled());

        table()->item(0, 5)->setData(Qt::DisplayRole, 200);
        QVERIFY(dialog_->applyButton()->isEnabled());
        dialog_->applyButton()->click();
        QVERIFY(!dialog_->applyButton()->isEnabled());
    }

    // Every field goes back as it was read, even after the keyboard walked
    // every cell through its editor: flags as 0/1, text fields and the range
    // list zero after their end, non-ASCII names and values that no editor
    // offers unchanged.
    void applyOfUnchangedTableIsByteExact()
    {
        openStarted();
        QList<QByteArray> read;
        QByteArray messy = entry(
            7, "HAN", "zh", QString::fromUtf8("思源黑体-常规.otf").toUtf8(), {{0x3000, 0x303F}, {0x4E00, 0x9FFF}}, 2);
        messy.replace(6 + 4, 3, QByteArray("\0XY", 3)); // bytes after the script's NUL
        messy.replace(118 + 16 + 8, 8, QByteArray(8, '\x55')); // a slot after the list's end
        QByteArray inherited = entry(1, "INHERITED", "ja", "", {});
        inherited.replace(110, 4, QByteArray::fromHex("2c01 8000")); // threshold 300, pixel width 128
        read << messy << entry(0, "COMMON", "en", "DejaVuSansMono.ttf", {{0x20, 0x7E}, {0xA0, 0xFF}}, -1) << inherited;
        for (const QByteArray& record : read)
            dialog_->handleResponse(record);

        table()->setCurrentCell(0, 0);
        for (int i = 1; i < 3 * table()->columnCount(); ++i)
            QTest::keyClick(table(), Qt::Key_Tab);
        QCOMPARE(table()->currentIndex(), table()->model()->index(2, table()->columnCount() - 1));
        QVERIFY(!dialog_->applyButton()->isEnabled());
        dialog_->doApply();
        QCOMPARE(capture_.records.size(), 5);
        QCOMPARE(capture_.records.first(), command('R'));
        QCOMPARE(capture_.records.last(), command('T'));
        for (int i = 0; i < read.size(); ++i) {
            QByteArray expected = read.at(i);
            expected[0] = 'S';
            expected[2] = expected.at(2) ? 1 : 0;
            if (i == 0) {
                expected.replace(6 + 4, 3, QByteArray(3, '\0'));
                expected.replace(118 + 16 + 8, 8, QByteArray(8, '\0'));
            }
            QCOMPARE(capture_.records.at(i + 1).toHex(), expected.toHex());
        }
    }

    void applyOfEmptyTableSendsBeginAndEnd()
    {
        openStarted();
        dialog_->applyButton()->click();
        QCOMPARE(capture_.records, (QList<QByteArray> {command('R'), command('T')}));
    }

    // Names longer than their field are cut between characters, never inside one.
    void editedTextsAreCutAtCharacterBoundaries()
    {
        openStarted();
        dialog_->handleResponse(entry(1, "HAN", "zh", "a.ttf"));
        table()->item(0, 3)->setText(QString("x") + QString(30, QChar(0x9ED1)) + ".ttf");
        table()->item(0, 2)->setText(QStringLiteral("日本"));
        dialog_->applyButton()->click();
        const RecordReader sent(capture_.records.at(1));
        const QByteArray font = sent.text(42, 64);
        QCOMPARE(font.size(), 61); // "x" and twenty 3-byte characters: a 21st would need 64
        QCOMPARE(QString::fromUtf8(font), QString("x") + QString(20, QChar(0x9ED1)));
        QCOMPARE(sent.u8(42 + 61), quint8(0));
        QCOMPARE(QString::fromUtf8(sent.text(38, 4)), QStringLiteral("日"));
    }

    void editorsOfferTheirRanges_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("maximum");
        QTest::newRow("face index") << 4 << 7;
        QTest::newRow("threshold") << 5 << 255;
        QTest::newRow("pixel width") << 6 << 96;
        QTest::newRow("pixel height") << 7 << 96;
        QTest::newRow("advance") << 8 << 96;
    }
    void editorsOfferTheirRanges()
    {
        QFETCH(int, column);
        QFETCH(int, maximum);
        openStarted();
        dialog_->handleResponse(entry(1, "HAN", "zh", "a.ttf"));
        table()->setCurrentCell(0, column);
        auto* box = table()->viewport()->findChild<QSpinBox*>();
        QVERIFY(box);
        QCOMPARE(box->maximum(), maximum);
        QCOMPARE(box->minimum(), 0);
        box->setValue(maximum + 50);
        QCOMPARE(box->value(), maximum);
    }

    // "fonts.conf" is not a font; the font editor offers the listed fonts.
    void listingFeedsTheFontEditor()
    {
        openStarted();
        dialog_->handleResponse(listing("DejaVuSansMono.ttf", 1733));
        dialog_->handleResponse(listing("fonts.conf", 90));
        dialog_->handleResponse(listing(QString::fromUtf8("宋体.ttc").toUtf8(), 20000000));
        dialog_->handleResponse(listing("short.ttf", 1).left(133));
        QTableWidget* fonts = dialog_->installedFontsTable();
        QCOMPARE(fonts->rowCount(), 2);
        QCOMPARE(fonts->item(1, 0)->text(), QString::fromUtf8("宋体.ttc"));
        QCOMPARE(fonts->item(1, 1)->text(), QString("20000000"));
        QCOMPARE(dialog_->installedFontNames(), (QStringList {"DejaVuSansMono.ttf", QString::fromUtf8("宋体.ttc")}));

        dialog_->handleResponse(entry(1, "HAN", "zh", "a.ttf"));
        table()->setCurrentCell(0, 3);
        auto* fontBox = table()->viewport()->findChild<QComboBox*>();
        QVERIFY(fontBox && fontBox->isEditable());
        QCOMPARE(fontBox->count(), 2);
        QCOMPARE(fontBox->itemText(1), QString::fromUtf8("宋体.ttc"));
        table()->setCurrentCell(0, 1);
        QTRY_VERIFY(table()->viewport()->findChildren<QComboBox*>().size() == 1);
        QVERIFY(!table()->viewport()->findChild<QComboBox*>()->isEditable());
    }

    void uninstallAsksFirst_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QList<QByteArray>>("sent");
        const QByteArray name = QString::fromUtf8("宋体.ttc").toUtf8();
        QTest::newRow("no") << int(QMessageBox::No) << QList<QByteArray> {};
        QTest::newRow("closed") << int(QMessageBox::NoButton) << QList<QByteArray> {};
        QTest::newRow("yes") << int(QMessageBox::Yes)
                             << QList<QByteArray> {
                                    pathCommand('d', "/data/PUB/fonts/" + name), pathCommand('a', "/data/PUB/fonts/")};
    }
    void uninstallAsksFirst()
    {
        QFETCH(int, answer);
        QFETCH(QList<QByteArray>, sent);
        openStarted();
        dialog_->handleResponse(listing("DejaVuSansMono.ttf", 1733));
        dialog_->handleResponse(listing(QString::fromUtf8("宋体.ttc").toUtf8(), 2000));
        // Nothing selected: nothing asked.
        dialog_->doRemoveFont();
        QVERIFY(MessageBox::takeShown().isEmpty());

        dialog_->installedFontsTable()->selectRow(1);
        MessageBox::queueAnswer(QMessageBox::StandardButton(answer));
        dialog_->doRemoveFont();
        const QList<MessageBox::Shown> shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown.at(0).text.contains(QString::fromUtf8("\"宋体.ttc\"")));
        QCOMPARE(capture_.records, sent);
        QCOMPARE(dialog_->installedFontsTable()->rowCount(), sent.isEmpty() ? 2 : 0);
    }

    // Checked before anything goes to the printer.
    void installChecksTheFileFirst_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("told");
        QTest::newRow("empty file") << "Empty.ttf" << 0 << false;
        QTest::newRow("path of 128 bytes") << QString(108, 'n') + ".ttf" << 100 << true;
        QTest::newRow("missing file") << "" << -1 << false;
    }
    void installChecksTheFileFirst()
    {
        QFETCH(QString, name);
        QFETCH(int, size);
        QFETCH(bool, told);
        openStarted();
        const QString path
            = size < 0 ? QDir::current().filePath("absent.ttf") : writeScratchFile(name, QByteArray(size, 'x'));
        QVERIFY(!path.isEmpty());
        DialogFontSettings::setFileChooser([path](QWidget*) { return path; });
        if (told)
            MessageBox::queueAnswer(QMessageBox::Ok);
        dialog_->doAddFont();
        QCOMPARE(capture_.records.size(), 0);
        QCOMPARE(MessageBox::takeShown().size(), told ? 1 : 0);
        QVERIFY(!dialog_->upload()->isActive());
    }

    // The printer's answer decides: a refusal shows no progress and says so;
    // an acceptance shows progress whose Cancel really stops the transfer.
    // Until the answer, nothing else follows the request: neither the
    // dialog's first requests nor any button.
    void uploadReplyDrivesTheProgress()
    {
        dialog_ = std::make_unique<DialogFontSettings>();
        dialog_->show();
        const QString path = writeScratchFile("Font.ttf", QByteArray(10000, 'f'));
        DialogFontSettings::setFileChooser([path](QWidget*) { return path; });
        QList<int> blocks;
        Transceiver link;
        dialog_->upload()->setLink(&link);
        dialog_->upload()->setBlockWriter([&blocks](const char*, quint32 length, int) {
            blocks.append(int(length));
            return true;
        });

        dialog_->doAddFont();
        const QStringList senders {"&Refresh", "&Uninstall Font", "&Apply", "Reset to &Default"};
        for (QPushButton* button : dialog_->findChildren<QPushButton*>()) {
            if (senders.contains(button->text()))
                button->click();
        }
        QTest::qWait(2 * DialogFontSettings::kStartDelayMs);
        QCOMPARE(capture_.records.size(), 1);
        QCOMPARE(RecordReader(capture_.records.at(0)).u32(132), quint32(10000));
        MessageBox::queueAnswer(QMessageBox::Ok);
        dialog_->handleResponse(RecordWriter(152).u8(0, 0x62).u8(1, 1).u16(2, 3).data());
        QVERIFY(!dialog_->progressDialog());
        QVERIFY(blocks.isEmpty());
        QCOMPARE(MessageBox::takeShown().size(), 1);
        QVERIFY(dialog_->applyButton()->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(capture_.records.size(), 3, 5000);

        dialog_->doAddFont();
        dialog_->handleResponse(RecordWriter(152).u8(0, 0x62).u8(1, 1).data());
        QProgressDialog* progress = dialog_->progressDialog();
        QVERIFY(progress);
        QCOMPARE(progress->maximum(), 10000);
        QCOMPARE(blocks, QList<int> {4080});
        progress->findChild<QPushButton*>()->click();
        QVERIFY(!dialog_->upload()->isActive());
        QVERIFY(!dialog_->progressDialog());
        // A late report of the cancelled transfer changes nothing.
        dialog_->upload()->sendFileBlock(4080);
        QCOMPARE(blocks, QList<int> {4080});
    }
};

QTEST_MAIN(TestDialogFontSettings)
#include "tst_dialogfontsettings.moc"
