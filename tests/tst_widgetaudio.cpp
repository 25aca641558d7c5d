// The audio settings page: what a value shows and gives back, and the
// master box over the others. Save and odd bits from a printer are shown
// against the simulator in tst_widgetserial.

#include "pages/widgetaudio.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTest>

class TestWidgetAudio : public QObject
{
    Q_OBJECT

    // One digit a box, in row order (all, cloud, warning, notice, voice, beep).
    static QString states(const WidgetAudio& page, bool (QCheckBox::*state)() const)
    {
        QString digits;
        for (const QCheckBox* box : page.findChildren<QCheckBox*>())
            digits += (box->*state)() ? '1' : '0';
        return digits;
    }

private Q_SLOTS:
    void loadAndMasterBox_data()
    {
        QTest::addColumn<QString>("checked");
        QTest::newRow("all but warning") << QString("110111");
        // A box that changes during the load recomputes the enabling.
        QTest::newRow("all audio off, beep") << QString("011101");
    }
    void loadAndMasterBox()
    {
        QFETCH(QString, checked);
        settings::AudioSettings value;
        for (int i = 0; i < checked.size(); ++i)
            value.setFlag(i, checked[i] == '1');
        WidgetAudio page;
        page.load(value);
        QCOMPARE(states(page, &QCheckBox::isChecked), checked);
        QCOMPARE(states(page, &QCheckBox::isEnabled), QString(checked[0] == '1' ? "111111" : "100000"));
        QVERIFY(!page.saveButton()->isEnabled());
        QCOMPARE(page.value().differences(value), QStringList());

        // The others keep their states while disabled, and are sent so.
        page.findChildren<QCheckBox*>().at(0)->click();
        QCOMPARE(states(page, &QCheckBox::isEnabled), QString(checked[0] == '1' ? "100000" : "111111"));
        QCOMPARE(page.value().differences(value), QStringList {"audio.all"});
        QVERIFY(page.saveButton()->isEnabled());
    }
};

QTEST_MAIN(TestWidgetAudio)
#include "tst_widgetaudio.moc"
