// The print settings page: what the controls give back after a load and an
// edit, snapping, the rules between the controls, and the LQ230 rule. The
// audio page's master box over the others.

#include "link/lastread.h"
#include "pages/widgetaudio.h"
#include "pages/widgetprint.h"
#include "pagesupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QSlider>
#include <QSpinBox>
#include <QTest>

using Print = settings::PrintSettings;

namespace {

// Receipt paper at the side, density 100 and quality 0, then `fields` ("density=77 quality=45").
Print with(const QString& fields)
{
    Print value;
    for (const QString& item : ("density=100 quality=0 paper_type=48 black_mark_location=1 " + fields).split(' '))
        if (const settings::Field* field = Print::kSchema().find("print." + item.section('=', 0, 0)))
            value.setNumber(int(field - Print::kSchema().fields.data()), item.section('=', 1).toLongLong());
    return value;
}

} // namespace

class TestWidgetPrint : public QObject
{
    Q_OBJECT

    std::unique_ptr<WidgetPrint> page_;

    template <typename T> T* at(int index) const { return page_->findChildren<T*>().at(index); }
    QCheckBox* check(const QString& text) const { return byText<QCheckBox>(page_.get(), text); }

private Q_SLOTS:
    void init() { page_ = std::make_unique<WidgetPrint>(); }

    void controlsGiveBack_data()
    {
        QTest::addColumn<QString>("loaded");
        QTest::addColumn<int>("box"); // spin box typed into, unless -1
        QTest::addColumn<double>("typed");
        QTest::addColumn<QString>("expected"); // empty: as loaded
        QTest::newRow("black mark, every field")
            << "cjk=128 code_page=53 utf8=1 density=115 quality=30 paper_type=113 black_mark_location=2 "
               "print_position=123 cut_position=-25 cover_feed_dots=240 stop_when_not_taken=1 voice_when_not_taken=1"
            << -1 << 0.0 << QString();
        QTest::newRow("receipt, sliders as they were") << "cjk=11 cover_feed_dots=1600" << -1 << 0.0 << QString();
        QTest::newRow("77 snaps down, 46 up, 80 dots clamp to 20 mm")
            << "density=77 quality=46 cover_feed_dots=80" << -1 << 0.0 << "density=70 quality=50 cover_feed_dots=160";
        QTest::newRow("density 108 typed moves the slider, which sets the box")
            << QString() << 0 << 108.0 << "density=115";
        QTest::newRow("cut -0.19 mm toward zero")
            << "paper_type=113" << 2 << -0.19 << "paper_type=113 print_position=100 cut_position=-1";
    }
    void controlsGiveBack()
    {
        QFETCH(QString, loaded);
        QFETCH(int, box);
        QFETCH(double, typed);
        QFETCH(QString, expected);
        // Typed off the grid, where the sliders do not follow; a load sets them all the same.
        at<QSpinBox>(0)->setValue(107);
        at<QSpinBox>(1)->setValue(5);
        QCOMPARE(page_->value().forSending().differences(with("density=107 quality=5").forSending()), QStringList());
        lastRead.printSettings = with(expected.isEmpty() ? loaded : expected).forSending();
        page_->load(with(loaded));
        QVERIFY(!page_->saveButton()->isEnabled());
        if (box >= 0)
            at<QAbstractSpinBox>(box)->setProperty("value", typed);
        QCOMPARE(page_->value().forSending().differences(lastRead.printSettings), QStringList());
        QVERIFY(at<QSlider>(0)->value() % 15 == 10 && at<QSlider>(1)->value() % 10 == 0);
        // The length follows the feed box, black-mark paper or not.
        QCOMPARE(at<QSpinBox>(2)->isEnabled(), lastRead.printSettings.number(Print::CoverFeed) != 0);
    }

    void controlRules_data()
    {
        QTest::addColumn<QString>("project");
        QTest::addColumn<QList<int>>("set"); // feed box, CJK, UTF-8, paper type
        // CJK, code page, location, cut, print position, feed box, feed length, stop printing, black mark test.
        QTest::addColumn<QString>("enabled");
        QTest::newRow("utf-8 yes, cjk off") << "LQ520" << QList<int> {0, 5, 1, 0} << "010001010";
        QTest::newRow("cjk off") << "LQ520" << QList<int> {0, 5, 0, 0} << "110001010";
        QTest::newRow("receipt with feed") << "LQ520" << QList<int> {1, 0, 0, 0} << "100001110";
        QTest::newRow("black mark with feed") << "LQ520" << QList<int> {1, 0, 0, 1} << "101110011";
        QTest::newRow("LQ230: no paper groups") << "LQ230" << QList<int> {1, 0, 0, 1} << "100000001";
    }
    void controlRules()
    {
        QFETCH(QString, project);
        QFETCH(QList<int>, set);
        QFETCH(QString, enabled);
        // As on connecting: the rule, then a load.
        page_->applyFeatures(settings::features(project, project));
        page_->load(with(QString()));
        // Set in an order that exercises each rule after the others.
        check("Feed")->setChecked(set[0]);
        for (int i = 1; i < 4; ++i)
            at<QComboBox>(QList<int> {1, 0, 3}.at(i - 1))->setCurrentIndex(set[i]);
        QString seen;
        for (QWidget* w : QList<QWidget*> {at<QComboBox>(1), at<QComboBox>(2), at<QComboBox>(4), at<QDoubleSpinBox>(0),
                 at<QDoubleSpinBox>(1), check("Feed"), at<QSpinBox>(2), check("Stop Printing"),
                 buttonOf(*page_, "Black Mark Print Test")})
            seen += w->isEnabled() ? '1' : '0';
        QCOMPARE(seen, enabled);
        QVERIFY(buttonOf(*page_, "Font Settings...")->isHidden());
    }

    // The others keep their states while disabled, and are sent so.
    void audioMasterBox_data()
    {
        QTest::addColumn<QString>("checked"); // all, cloud, warning, notice, voice, beep
        QTest::newRow("all but warning") << QString("110111");
        // A box that changes during the load recomputes the enabling.
        QTest::newRow("all audio off, beep") << QString("011101");
    }
    void audioMasterBox()
    {
        QFETCH(QString, checked);
        settings::AudioSettings value;
        for (int i = 0; i < checked.size(); ++i)
            value.setFlag(i, checked[i] == '1');
        WidgetAudio page;
        page.load(value);
        const QList<QCheckBox*> boxes = page.findChildren<QCheckBox*>();
        for (const QCheckBox* box : boxes.mid(1))
            QCOMPARE(box->isEnabled(), checked[0] == '1');
        boxes[0]->click();
        for (const QCheckBox* box : boxes.mid(1))
            QCOMPARE(box->isEnabled(), checked[0] != '1');
        // The rest of what the boxes show comes back as loaded.
        QCOMPARE(page.value().differences(value), QStringList {"audio.all"});
        QVERIFY(page.saveButton()->isEnabled());
    }
};

QTEST_MAIN(TestWidgetPrint)
#include "tst_widgetprint.moc"
