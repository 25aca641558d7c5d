// The audio settings page: what a reply shows, and the record Save sends,
// decrypted from the packets that would reach the printer.

#include "link/hostcmd.h"
#include "link/lastread.h"
#include "link/packet.h"
#include "pages/widgetaudio.h"
#include "recordcapture.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTest>

class TestWidgetAudio : public QObject
{
    Q_OBJECT

    RecordCapture capture_;

    // Boxes in row order: all, cloud, warning, notice, voice, beep.
    static QList<QCheckBox*> boxes(const WidgetAudio& page) { return page.findChildren<QCheckBox*>(); }
    // One digit a box: `state` of each, 1 for true.
    static QString states(const WidgetAudio& page, bool (QCheckBox::*state)() const)
    {
        QString digits;
        for (const QCheckBox* box : boxes(page))
            digits += (box->*state)() ? '1' : '0';
        return digits;
    }
    // What the main window's dispatch does with a type-6 reply.
    static void load(WidgetAudio& page, const QByteArray& reply)
    {
        QVERIFY(lastRead.refresh(reply));
        page.loadRecord(reply);
    }

private Q_SLOTS:
    void init()
    {
        capture_.records.clear();
        capture_.result = true;
        capture_.install();
    }
    void cleanupTestCase() { hostCmd.setWriter({}); }

    void loadAndSaveWithoutEdits_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("checkedStates");
        QTest::addColumn<QString>("enabledStates");
        QTest::addColumn<QByteArray>("sent");

        // Reply: type 6 (06 00), then all, cloud, warning, notice, not-taken (bit 1 voice, bit 0 beep).
        QTest::newRow("all but warning") << QByteArray::fromHex("06000101000103") << "110111"
                                         << "111111" << QByteArray();
        // Bits beyond bit 0 stay in the last-read copy: the first Save writes the corrected byte
        // (for the cloud byte against the simulator: tst_widgetserial's savedRecordsReachThePrinter).
        QTest::newRow("voice only, high bits") << QByteArray::fromHex("060001000000f6") << "100010"
                                               << "111111" << QByteArray::fromHex("03010100000002");
        // Loading changes the cloud box, which recomputes the enabling with all audio off.
        QTest::newRow("all audio off") << QByteArray::fromHex("06000001010101") << "011101"
                                       << "100000" << QByteArray();
    }
    void loadAndSaveWithoutEdits()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QByteArray, sent);
        QFETCH(QString, checkedStates);
        QFETCH(QString, enabledStates);
        WidgetAudio page;
        load(page, reply);
        QCOMPARE(states(page, &QCheckBox::isChecked), checkedStates);
        QCOMPARE(states(page, &QCheckBox::isEnabled), enabledStates);
        QVERIFY(!page.saveButton()->isEnabled());

        page.doSave();
        QCOMPARE(capture_.records, sent.isEmpty() ? QList<QByteArray>() : QList<QByteArray>({sent}));
        // The copy now holds what was sent: a second Save sends nothing.
        page.doSave();
        QCOMPARE(capture_.records.size(), sent.isEmpty() ? 0 : 1);
    }

    void masterBoxDisablesTheOthersAndSaveRetriesAFailedWrite()
    {
        WidgetAudio page;
        load(page, QByteArray::fromHex("06000101000103"));
        boxes(page).at(0)->click();
        QCOMPARE(states(page, &QCheckBox::isEnabled), QString("100000"));
        QVERIFY(page.saveButton()->isEnabled());
        // Disabled boxes still send their states.
        const QByteArray record = QByteArray::fromHex("03010001000103");

        capture_.result = false;
        page.saveButton()->click();
        QCOMPARE(capture_.records, QList<QByteArray>({record}));
        QCOMPARE(lastRead.audio.bytes(), QByteArray::fromHex("03010101000103"));
        QVERIFY(page.saveButton()->isEnabled());

        capture_.result = true;
        page.saveButton()->click();
        QCOMPARE(capture_.records, QList<QByteArray>({record, record}));
        QCOMPARE(lastRead.audio.bytes(), record);
        QVERIFY(!page.saveButton()->isEnabled());

        boxes(page).at(0)->click();
        QCOMPARE(states(page, &QCheckBox::isEnabled), QString("111111"));
    }
};

QTEST_MAIN(TestWidgetAudio)
#include "tst_widgetaudio.moc"
