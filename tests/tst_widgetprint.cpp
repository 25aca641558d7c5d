// The print settings page on its own: loading odd records, the control
// rules, snapping, the LQ230 rule and the record Save sends, captured at the
// host command writer and decrypted.

#include "link/lastread.h"
#include "pages/widgetprint.h"
#include "pagesupport.h"
#include "recordcapture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTest>

#include <memory>
#include <utility>

namespace {

// A type-3 reply: receipt paper, density 100, quality 0, location 1, all else zero.
QByteArray reply()
{
    QByteArray r = QByteArray::fromHex("0300 00 00 00 00 64 ff 30000000").leftJustified(46, '\0');
    r[44] = 1;
    return r;
}

// What Save sends for reply() as it stands.
const QByteArray kUnchanged = QByteArray::fromHex("2101 00 00 00 00 64 ff 30000000 00000000 00000000 00000000 00000000"
                                                  "000000000000000000000000 00000000 01 00");

QByteArray withByte(QByteArray r, int offset, quint8 value)
{
    r[offset] = char(value);
    return r;
}

QByteArray withU32(QByteArray r, int offset, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        r[offset + i] = char(value >> (8 * i));
    return r;
}

} // namespace

class TestWidgetPrint : public QObject
{
    Q_OBJECT

    std::unique_ptr<WidgetPrint> page_;
    RecordCapture capture_;

    QComboBox* combo(int index) const { return page_->findChildren<QComboBox*>().at(index); }
    QComboBox* utf8() const { return combo(0); }
    QComboBox* cjk() const { return combo(1); }
    QComboBox* codePage() const { return combo(2); }
    QComboBox* paperType() const { return combo(3); }
    QSlider* slider(int index) const { return page_->findChildren<QSlider*>().at(index); }
    QSpinBox* spin(int index) const { return page_->findChildren<QSpinBox*>().at(index); }
    QDoubleSpinBox* cut() const { return page_->findChildren<QDoubleSpinBox*>().at(0); }
    QDoubleSpinBox* printPos() const { return page_->findChildren<QDoubleSpinBox*>().at(1); }
    QCheckBox* check(const QString& text) const { return byText<QCheckBox>(page_.get(), text); }

    // What the dispatch does with a type-3 reply.
    void load(const QByteArray& record)
    {
        QVERIFY(lastRead.refresh(record));
        page_->loadRecord(record);
    }

    // The record of the one packet sent since the last call.
    QByteArray sentRecord()
    {
        const QList<QByteArray> sent = std::exchange(capture_.records, {});
        return sent.size() == 1 ? sent[0] : QByteArray::number(sent.size()) + " packets";
    }

private Q_SLOTS:
    void initTestCase() { capture_.install(); }
    void cleanupTestCase() { hostCmd.setWriter({}); }
    void init()
    {
        lastRead.printSettings = {};
        page_ = std::make_unique<WidgetPrint>();
        capture_.records.clear();
        capture_.result = true;
    }

    void loadingSnapsAndClamps_data()
    {
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<int>("density");
        QTest::addColumn<int>("quality");
        QTest::newRow("density 75 snaps down") << withByte(reply(), 6, 75) << 70 << 0;
        QTest::newRow("density 78 snaps up") << withByte(reply(), 6, 78) << 85 << 0;
        QTest::newRow("density 200 clamps") << withByte(reply(), 6, 200) << 130 << 0;
        QTest::newRow("quality byte FF is 0") << withByte(reply(), 7, 0xFF) << 100 << 0;
        QTest::newRow("quality byte 9B is 100") << withByte(reply(), 7, 0x9B) << 100 << 100;
        QTest::newRow("quality byte 00 clamps to 100") << withByte(reply(), 7, 0x00) << 100 << 100;
        QTest::newRow("quality byte C0 (63) snaps to 60") << withByte(reply(), 7, 0xC0) << 100 << 60;
    }
    void loadingSnapsAndClamps()
    {
        QFETCH(QByteArray, record);
        QFETCH(int, density);
        QFETCH(int, quality);
        // Values typed off the grid, which the sliders do not follow.
        spin(0)->setValue(107);
        spin(1)->setValue(5);
        load(record);
        QCOMPARE(slider(0)->value(), density);
        QCOMPARE(spin(0)->value(), density);
        QCOMPARE(slider(1)->value(), quality);
        QCOMPARE(spin(1)->value(), quality);
        QVERIFY(!page_->saveButton()->isEnabled());
    }

    void unknownValuesSelectTheFirstItem()
    {
        // CJK 7, code page 6, UTF-8 9, paper type 5, location 0: none offered.
        QByteArray r = withByte(withByte(withByte(reply(), 3, 7), 4, 6), 5, 9);
        load(withByte(withU32(r, 8, 5), 44, 0));
        for (int i = 0; i < 5; ++i)
            QCOMPARE(combo(i)->currentIndex(), 0);
        // The corrected values go out on the next Save.
        page_->doSave();
        QCOMPARE(sentRecord().toHex(), kUnchanged.toHex());
    }

    void saveWithoutEditsSendsNothing()
    {
        load(reply());
        page_->doSave();
        QCOMPARE(capture_.records.size(), 0);
        QVERIFY(!page_->saveButton()->isEnabled());
    }

    void ignoredFieldsMakeTheFirstSaveSend_data()
    {
        QTest::addColumn<QByteArray>("record");
        QTest::newRow("offset 12") << withU32(reply(), 12, 2000);
        QTest::newRow("offset 16") << withByte(reply(), 16, 1);
        QTest::newRow("offset 28") << withByte(reply(), 28, 1);
        QTest::newRow("offset 39") << withByte(reply(), 39, 0x80);
        QTest::newRow("print position with receipt") << withU32(reply(), 20, 150);
        QTest::newRow("flag bit 2") << withByte(reply(), 45, 0x04);
    }
    void ignoredFieldsMakeTheFirstSaveSend()
    {
        QFETCH(QByteArray, record);
        load(record);
        page_->doSave();
        QCOMPARE(sentRecord().toHex(), kUnchanged.toHex());
        // The copy is what went out: a second Save sends nothing.
        page_->doSave();
        QCOMPARE(capture_.records.size(), 0);
    }

    void feedOf80DotsIsClampedAndSentAs160()
    {
        load(withU32(reply(), 40, 80));
        QVERIFY(check("Feed")->isChecked());
        QCOMPARE(spin(2)->value(), 20);
        QVERIFY(spin(2)->isEnabled());
        page_->doSave();
        // 20 mm x 8 dots = 160 = 0xA0 at offset 40.
        QCOMPARE(sentRecord().mid(40, 4).toHex(), QByteArray("a0000000"));
    }

    void saveSendsTheEditedBlackMarkRecord()
    {
        load(reply());
        utf8()->setCurrentIndex(1); // Yes
        cjk()->setCurrentIndex(5); // Disable CJK Mode, 128
        codePage()->setCurrentIndex(39); // (53) KZ1048
        spin(0)->setValue(115);
        spin(1)->setValue(10);
        spin(1)->setValue(15); // the slider stays at 10, the box keeps 15
        paperType()->setCurrentIndex(1);
        combo(4)->setCurrentIndex(1); // Center
        printPos()->setValue(12.3);
        cut()->setValue(-2.5);
        check("Stop Printing")->setChecked(true);
        check("Voice Alert")->setChecked(true);
        QVERIFY(page_->saveButton()->isEnabled());
        page_->doSave();
        QVERIFY(!page_->saveButton()->isEnabled());
        // 21 01 | 00 | CJK 128 | page 53 | UTF-8 1 | density 115 | ~15 = F0 | paper 113 |
        // 2000 = 07D0 | 100 | 123 = 7B | -25 = FFFFFFE7 | 12 zero | no feed | centre 2 | flags 3
        const QByteArray expected = QByteArray::fromHex("2101 00 80 35 01 73 f0 71000000 d0070000 64000000 7b000000"
                                                        "e7ffffff 000000000000000000000000 00000000 02 03");
        QCOMPARE(sentRecord().toHex(), expected.toHex());
        QCOMPARE(lastRead.printSettings.bytes().toHex(), expected.toHex());
    }

    void positionsAreTruncatedTowardZero_data()
    {
        QTest::addColumn<double>("cut");
        QTest::addColumn<QByteArray>("bytes");
        // -2.5 mm: saveSendsTheEditedBlackMarkRecord.
        QTest::newRow("-0.15") << -0.15 << QByteArray("ffffffff");
        QTest::newRow("0.19") << 0.19 << QByteArray("01000000");
        QTest::newRow("25") << 25.0 << QByteArray("fa000000");
    }
    void positionsAreTruncatedTowardZero()
    {
        QFETCH(double, cut);
        QFETCH(QByteArray, bytes);
        load(withU32(reply(), 8, 113));
        this->cut()->setValue(cut);
        page_->doSave();
        QCOMPARE(sentRecord().mid(24, 4).toHex(), bytes);
    }

    void failedWriteKeepsTheCopyAndSave()
    {
        load(reply());
        const QByteArray before = lastRead.printSettings.bytes();
        spin(0)->setValue(130);
        capture_.result = false;
        page_->doSave();
        QCOMPARE(capture_.records.size(), 1);
        QCOMPARE(lastRead.printSettings.bytes(), before);
        QVERIFY(page_->saveButton()->isEnabled());
        // Saving again tries again, and a write that goes through is kept.
        capture_.result = true;
        page_->doSave();
        QCOMPARE(capture_.records.size(), 2);
        QCOMPARE(quint8(lastRead.printSettings.bytes()[6]), quint8(130));
        QVERIFY(!page_->saveButton()->isEnabled());
    }

    void snapping_data()
    {
        QTest::addColumn<int>("control"); // 0 density slider, 1 density box, 2 quality slider, 3 quality box
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("slider");
        QTest::addColumn<int>("box");
        QTest::newRow("density slider 77") << 0 << 77 << 70 << 70;
        QTest::newRow("density slider 78") << 0 << 78 << 85 << 85;
        QTest::newRow("density slider 129") << 0 << 129 << 130 << 130;
        QTest::newRow("density box 107 keeps its value") << 1 << 107 << 100 << 107;
        QTest::newRow("density box 108") << 1 << 108 << 115 << 115;
        QTest::newRow("quality slider 45") << 2 << 45 << 40 << 40;
        QTest::newRow("quality slider 46") << 2 << 46 << 50 << 50;
        QTest::newRow("quality box 5 keeps its value") << 3 << 5 << 0 << 5;
        QTest::newRow("quality box 95 moves the slider, which sets the box") << 3 << 95 << 90 << 90;
        QTest::newRow("quality box 100") << 3 << 100 << 100 << 100;
    }
    void snapping()
    {
        QFETCH(int, control);
        QFETCH(int, value);
        QFETCH(int, slider);
        QFETCH(int, box);
        if (control % 2 == 0)
            this->slider(control / 2)->setValue(value);
        else
            spin(control / 2)->setValue(value);
        QCOMPARE(this->slider(control / 2)->value(), slider);
        QCOMPARE(spin(control / 2)->value(), box);
        QVERIFY(page_->saveButton()->isEnabled());
    }

    void controlRules_data()
    {
        QTest::addColumn<int>("utf8");
        QTest::addColumn<int>("cjk");
        QTest::addColumn<int>("paper");
        QTest::addColumn<bool>("feed");
        // Expected enabled: CJK, code page, location, cut, print position,
        // feed box, feed length, black mark test.
        QTest::addColumn<QString>("enabled");
        QTest::newRow("initial") << 0 << 0 << 0 << false << "10000100";
        QTest::newRow("utf-8 yes") << 1 << 0 << 0 << false << "00000100";
        QTest::newRow("utf-8 yes, cjk off") << 1 << 5 << 0 << false << "01000100";
        QTest::newRow("cjk off") << 0 << 5 << 0 << false << "11000100";
        QTest::newRow("receipt with feed") << 0 << 0 << 0 << true << "10000110";
        QTest::newRow("black mark") << 0 << 0 << 1 << false << "10111001";
        QTest::newRow("black mark with feed") << 0 << 0 << 1 << true << "10111001";
    }
    void controlRules()
    {
        QFETCH(int, utf8);
        QFETCH(int, cjk);
        QFETCH(int, paper);
        QFETCH(bool, feed);
        QFETCH(QString, enabled);
        // Set in an order that exercises each rule after the others.
        check("Feed")->setChecked(feed);
        this->cjk()->setCurrentIndex(cjk);
        this->utf8()->setCurrentIndex(utf8);
        paperType()->setCurrentIndex(paper);
        const QList<QWidget*> widgets = {this->cjk(), codePage(), combo(4), this->cut(), printPos(), check("Feed"),
            spin(2), byText<QPushButton>(page_.get(), "Black Mark Print Test")};
        QString seen;
        for (QWidget* w : widgets)
            seen += w->isEnabled() ? '1' : '0';
        QCOMPARE(seen, enabled);
    }

    void feedLengthFollowsTheFeedBoxAfterALoadEvenWithBlackMark()
    {
        load(withU32(withU32(reply(), 8, 113), 40, 240));
        QVERIFY(!check("Feed")->isEnabled());
        QVERIFY(check("Feed")->isChecked());
        QVERIFY(spin(2)->isEnabled());
        QCOMPARE(spin(2)->value(), 30);
    }

    void lq230DisablesThePaperGroups_data()
    {
        QTest::addColumn<QString>("project");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("LQ230") << "LQ230" << false;
        QTest::newRow("lq230 is another project") << "lq230" << true;
        QTest::newRow("LQ520") << "LQ520" << true;
    }
    void lq230DisablesThePaperGroups()
    {
        QFETCH(QString, project);
        QFETCH(bool, enabled);
        page_->applyFeatures(settings::features(project, "any"));
        // A black-mark record would enable the black-mark controls.
        load(withU32(reply(), 8, 113));
        for (const char* title : {"Paper Layout", "On Cover Closed", "On Paper Not Taken"})
            QCOMPARE(byText<QGroupBox>(page_.get(), title)->isEnabled(), enabled);
        QCOMPARE(combo(4)->isEnabled(), enabled);
        QCOMPARE(check("Stop Printing")->isEnabled(), enabled);
        QVERIFY(byText<QGroupBox>(page_.get(), "Print")->isEnabled());
    }

    void fontSettingsIsHiddenByDefault() { QVERIFY(byText<QPushButton>(page_.get(), "Font Settings...")->isHidden()); }
};

QTEST_MAIN(TestWidgetPrint)
#include "tst_widgetprint.moc"
