// Printer sessions, each on a link of its own, against the simulator over TCP and USB.

#include "app/conf.h"
#include "link/printersession.h"
#include "usb/usbtestsupport.h"

using Session = PrinterSession;
using namespace settings;

// A step's callback, with or without the state; called bare, it tells whether it came.
struct Outcome
{
    std::shared_ptr<std::optional<QString>> error = std::make_shared<std::optional<QString>>();
    void operator()(const QString& e) const { *error = e; }
    void operator()(const QString& e, const PrinterState&) const { *error = e; }
    bool operator()() const { return error->has_value(); }
    QString wait() const { return QTest::qWaitFor(*this, 30000) ? **error : "hung"; }
};

class TestPrinterSession : public QObject
{
    Q_OBJECT

    LinkFixture f_;

    template <typename Start> static QString run(Start start)
    {
        const Outcome outcome;
        start(outcome);
        return outcome.wait();
    }
    static QString readAll(Session& s)
    {
        return run([&s](Outcome o) { s.read(Session::Everything, o); });
    }
    static QString open(Session& s, const QString& target)
    {
        QString error;
        const std::optional<Session::Target> parsed = Session::Target::parse(target, &error);
        return parsed ? run([&](Outcome o) { s.open(*parsed, o); }) : error;
    }
    static QStringList files(const Session& s)
    {
        QStringList list;
        for (const InstalledFont& file : *s.state().fontFiles)
            list << QStringLiteral("%1 %2").arg(file.text(file.Name)).arg(file.number(file.Size));
        return list;
    }

private Q_SLOTS:
    void cleanup() { f_.dropLink(); }

    // On each medium: the simulator's values, a plan (a record, font table, font) read back, a page.
    void readsAndPrints_data()
    {
        QTest::addColumn<bool>("usb");
        for (bool usb : {false, true})
            QTest::newRow(usb ? "USB" : "TCP") << usb;
    }
    void readsAndPrints()
    {
        QFETCH(bool, usb);
        conf.vidPidList = {0x5A7C0002u};
        FakeUsbTree tree;
        QTemporaryDir jobs;
        QVERIFY(tree.serve(f_.sim, {"--sn", "SIM42", "--capture-dir", jobs.path()}));
        Session s;
        QCOMPARE(open(s, usb ? "usb" : f_.sim.address().toString()), QString());
        QCOMPARE(readAll(s), QString());
        const PrinterState& st = s.state();
        QCOMPARE(st.identity->text(DeviceIdentity::Sn) + st.device->text(DeviceInfo::Sn), "SIM42SIM42");
        QVERIFY(st.network && st.wnet && st.serial && st.audio);
        QCOMPARE(st.print->number(PrintSettings::Density), qint64(100));
        QCOMPARE(st.fontTable->size(), size_t(9));
        QStringList fonts = {"DejaVuSansMono.ttf 1733", "NotoSansSC-Regular.otf 2412"};
        QCOMPARE(files(s), fonts);
        PrintSettings print = *s.state().print;
        QVERIFY(print.setNumber(PrintSettings::Density, 120));
        Plan plan;
        plan.records = {print.forSending().bytes()};
        plan.fontTable = std::vector<FontEntry>(s.state().fontTable->begin() + 1, s.state().fontTable->end());
        plan.fontsToInstall = {{"Extra.ttf", 5000, {}}};
        QCOMPARE(run([&](Outcome o) { s.apply(plan, {{"Extra.ttf", fileData(5000)}}, o); }), QString());
        QCOMPARE(s.state().print->number(PrintSettings::Density), qint64(120));
        QCOMPARE(s.state().fontTable->size(), size_t(8));
        QCOMPARE(files(s), QStringList({fonts[0], "Extra.ttf 5000", fonts[1]}));
        QCOMPARE(run([&](Outcome o) { s.removeFont("Extra.ttf", o); }), QString());
        QCOMPARE(files(s), fonts);
        QCOMPARE(run([&](Outcome o) { s.printRaw("page\n", o); }), QString());
        QTRY_COMPARE_WITH_TIMEOUT(readFile(jobs.filePath("job-0001.bin")), QByteArray("page\n"), 10000);
    }

    void twoSessionsSideBySide()
    {
        SimProcess other;
        QVERIFY(f_.sim.start({"--sn", "FIRST"}) && other.start({"--sn", "SECOND", "--port", "0", "--raw-port", "0"}));
        // The window's session, on the process-wide link, beside one of its own.
        f_.makeLink();
        QVERIFY(f_.connectTcp());
        Session a(hostCmd, *f_.link), b;
        QVERIFY(open(a, f_.sim.address().toString()).isEmpty()
            && open(b, QStringLiteral("%1:%2").arg(other.address().toString()).arg(other.port())).isEmpty());
        const Outcome readA, readB;
        a.read(Session::Everything, readA), b.read(Session::Everything, readB);
        QVERIFY(readA.wait().isEmpty() && readB.wait().isEmpty());
        QCOMPARE(a.state().device->text(DeviceInfo::Sn) + b.state().device->text(DeviceInfo::Sn), "FIRSTSECOND");
    }

    // Each fails by name, and within its timeout; a dropped link stays down.
    void failuresAreNamed_data()
    {
        // "setup | step | error"; the setup: simulator options, a target, or none (nobody there).
        QTest::addColumn<QString>("row");
        QTest::newRow("drop in a read") << "--fault-drop-after 3 | read | the link dropped";
        QTest::newRow("drop in an upload") << "--fault-drop-after 1 | font | the link dropped";
        QTest::newRow("no handshake") << "--fault-handshake never |  | unreachable: %1: the printer did not answer";
        QTest::newRow("nobody listens") << " |  | unreachable: %1: Connection refused";
        QTest::newRow("no USB printer") << "usb |  | usb: no USB printer found";
        QTest::newRow("a name") << "printer.local |  | printer.local: not a printer address";
        QTest::newRow("port 65536") << "%1:65536 |  | %1:65536: not a printer address";
    }
    void failuresAreNamed()
    {
        QFETCH(QString, row);
        QString setup = row.section(" | ", 0, 0).trimmed(), step = row.section(" | ", 1, 1).trimmed();
        const bool simulator = setup.startsWith("--");
        QVERIFY(!simulator || f_.sim.start(setup.split(' ')));
        const FakeUsbTree none;
        Session s;
        s.setTimeoutMs(500);
        QSignalSpy down(&s, &Session::disconnected);
        const QString address = f_.sim.address().toString();
        QString result = open(s, simulator || setup.isEmpty() ? address : setup.replace("%1", address));
        if (step == "read")
            result = readAll(s);
        else if (step == "font")
            result = run([&](Outcome o) { s.installFont("F.ttf", fileData(9000), o); });
        QCOMPARE(result, row.section(" | ", 2).replace("%1", address));
        QCOMPARE(down.size(), int(!step.isEmpty()));
        QCOMPARE(readAll(s), step.isEmpty() ? "not connected" : "the link dropped");
    }
};

QTEST_GUILESS_MAIN(TestPrinterSession)
#include "tst_printersession.moc"
