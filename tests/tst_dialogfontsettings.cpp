// The font dialog on its own: requests captured at the host command writer
// (their first bytes spell what went), entries compared as values of the
// settings model or with the bytes they were read from.

#include "fonts/dialogfontsettings.h"
#include "link/fileupload.h"
#include "pagesupport.h"
#include "recordcapture.h"
#include "ui/messagebox.h"

#include <QComboBox>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>

#include <memory>

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

class TestDialogFontSettings : public QObject
{
    Q_OBJECT

    ScratchDirectory dir_;
    RecordCapture capture_;
    QByteArray codes_;
    std::unique_ptr<DialogFontSettings> dialog_;

private Q_SLOTS:
    void init()
    {
        DialogFontSettings::setIntervals(0, 1);
        codes_.clear();
        capture_.onRecord = [this](const QByteArray& record) { codes_ += record.left(1); };
        capture_.install();
        MessageBox::resetForTests();
    }
    void cleanup() { dialog_.reset(); }

    // Walking every cell through its editor changes nothing: names no editor
    // lists and numbers outside the editors' ranges go back as they came; a
    // flag goes as 1, bytes after a text's or the range list's end as zero.
    // An edit enables Apply and changes its field only.
    void tablesFollowThePrinter()
    {
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

QTEST_MAIN(TestDialogFontSettings)
#include "tst_dialogfontsettings.moc"
