// The command line executable against fleets of simulated printers, each on
// loopback addresses of the suite's own (127.0.7.x and up) with its state in a
// temporary folder: its JSON output is checked, and the simulator's log counts
// the records applied and the connections. Discovery only in a netns.h lab.

#include "netns.h"
#include "testsupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

namespace {

struct Run
{
    int exit = -1;
    QByteArray out;
    QByteArray err;
    const QJsonObject json() const { return QJsonDocument::fromJson(out).object(); }
    // Each printer's status, or its error when it has one.
    QStringList statuses() const
    {
        QStringList list;
        for (const QJsonValue& printer : json().value("printers").toArray())
            list << printer["error"].toString(printer["status"].toString());
        return list;
    }
};

Run ctl(const QStringList& arguments, const QByteArray& input = {})
{
    QProcess process;
    process.start(QStringLiteral(TOVRA_CTL_EXECUTABLE), arguments);
    process.write(input);
    process.closeWriteChannel();
    const bool exited = process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit;
    return {exited ? process.exitCode() : -1, process.readAllStandardOutput(), process.readAllStandardError()};
}

// N printers from 127.0.B.1 on, with a state folder and a log of their own.
class Fleet final
{
public:
    Fleet(int base, int printers, const QStringList& extra = {})
        : base_(base)
    {
        sim_.setAddress(QHostAddress(address(1)));
        sim_.start(QStringList {"--fleet", QString::number(printers), "--state", dir_.filePath("state"), "--log", log(),
                       "--project", "LQ520", "--model", "LQ540"}
            + extra);
    }

    bool started() const { return sim_.port() != 0; }
    QString address(int n) const { return QStringLiteral("127.0.%1.%2").arg(base_).arg(n); }
    QString log() const { return dir_.filePath("sim.log"); }
    // Printer n's log lines that contain `what`.
    QStringList logged(int n, const QString& what) const
    {
        return QString::fromUtf8(readFile(log())).split('\n').filter(address(n) + ' ').filter(what);
    }
    QString path(const QString& name) const { return dir_.filePath(name); }
    QString write(const QString& name, const QByteArray& data) const { return writeScratchFile(path(name), data); }

private:
    int base_;
    QTemporaryDir dir_;
    SimProcess sim_;
};

QByteArray settingsFile(const QByteArray& groups)
{
    return "{\n\"format\": \"tovra-printer-settings\",\n\"version\": 1,\n" + groups + "\n}\n";
}

QJsonObject withoutSource(QJsonObject file)
{
    file.remove("source");
    QJsonObject wifi = file.value("wifi").toObject();
    wifi.remove("password");
    file.insert("wifi", wifi);
    return file;
}

} // namespace

class TestPrinterCtl : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        if (QByteArray(QTest::currentTestFunction()) == "discover" && !netns::lab)
            QSKIP(qPrintable("discovery multicasts; no private network for it: " + netns::missing));
    }

    // A backup applied to a factory-fresh printer gives the same backup,
    // the source and the password aside; the password shows nowhere else.
    void roundTrip()
    {
        Fleet fleet(7, 2);
        QVERIFY(fleet.started());
        const QString source = fleet.path("source.json"), copy = fleet.path("copy.json");
        // What set reports: the USB run; what it did: the diff below.
        ctl({"set", fleet.address(1), "print.density=130", "audio.cloud=false", "wifi.ssid=Shop",
            "wifi.password=s3cret", "serial.baud=9600"});
        Run run = ctl({"backup", fleet.address(1), "-o", source, "--wifi-password-file", "-"}, "s3cret\n");
        QCOMPARE(run.exit, 0);
        const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther;
        QCOMPARE(QFile::permissions(source) & (others | QFile::ReadOwner), QFile::ReadOwner);
        const QJsonObject kept = QJsonDocument::fromJson(readFile(source)).object();
        QCOMPARE(kept["wifi"]["password"].toString(), "s3cret");
        run = ctl({"apply", source, fleet.address(2), "--diff"});
        QVERIFY2(run.exit == 0 && run.out.contains("\n  print.density: 100 → 130\n"), run.out);
        QVERIFY(!run.out.contains("s3cret"));
        QCOMPARE(ctl({"backup", fleet.address(2), "-o", copy}).exit, 0);
        QVERIFY(!readFile(fleet.log()).contains("s3cret"));
        QCOMPARE(withoutSource(QJsonDocument::fromJson(readFile(copy)).object()), withoutSource(kept));
    }

    // A password set before: the archive passes unzip -t and does not hold it;
    // the tool's own log and a note stand for the window's files.
    void diagnostics()
    {
        Fleet fleet(9, 1);
        QVERIFY(fleet.started());
        QCOMPARE(ctl({"set", fleet.address(1), "wifi.ssid=Shop", "wifi.password=s3cret"}).exit, 0);
        const Run run = ctl({"--json", "diagnostics", fleet.address(1), "-o", fleet.path("d.zip")});
        QCOMPARE(run.statuses(), QStringList {"ok"});
        const Unzipped zip = unzip(fleet.path("d.zip"));
        QVERIFY(zip.tested);
        QCOMPARE(zip.names,
            "log.txt\nconfiguration.txt\nrecords.csv\nversions.txt\nprinter-settings.json\nprinter-information.json\n");
        for (const char* part : {"] project: LQ520 (hostcmd.cpp,", "keeps no configuration file", ",received,0x0002,"})
            QVERIFY2(zip.contents.contains(part), part);
        QVERIFY(zip.contents.contains("\"ssid\": \"Shop\"") && !zip.contents.contains("s3cret"));
    }

    // Exactly the records that differ are written, nothing on a second run;
    // a partial file touches only its fields; --check writes nothing.
    void writes_data()
    {
        QTest::addColumn<QByteArray>("groups");
        QTest::addColumn<QStringList>("applied");
        QTest::addColumn<bool>("check");
        const QByteArray print = R"("print": {"density": 130, "quality": 70})";
        const QByteArray audio = R"("audio": {"cloud": false})";
        QTest::newRow("print and audio") << print + ",\n" + audio << QStringList {"print settings", "audio settings"}
                                         << false;
        QTest::newRow("as the printer has it") << QByteArray(R"("print": {"density": 100})") << QStringList() << false;
        QTest::newRow("check") << print + ",\n" + audio << QStringList() << true;
    }
    void writes()
    {
        QFETCH(QByteArray, groups);
        QFETCH(QStringList, applied);
        QFETCH(bool, check);
        Fleet fleet(7, 1);
        QVERIFY(fleet.started());
        const QString file = fleet.write("partial.json", settingsFile(groups));
        const QJsonObject before = ctl({"--json", "get", fleet.address(1)}).json();
        Run run = ctl(QStringList {"--json", "apply", file, fleet.address(1)}
            + (check ? QStringList {"--check"} : QStringList()));
        QCOMPARE(run.exit, check ? 2 : 0);
        QCOMPARE(run.statuses(), QStringList {check ? "would-change" : applied.isEmpty() ? "unchanged" : "changed"});
        QCOMPARE(run.json()["check"].toBool(), check);
        QCOMPARE(fleet.logged(1, " applied ").size(), applied.size());
        for (const QString& name : applied)
            QCOMPARE(fleet.logged(1, " applied ").filter(name).size(), 1);
        QCOMPARE(ctl({"apply", file, fleet.address(1)}).exit, 0);
        QCOMPARE(fleet.logged(1, " applied ").size(), check ? 2 : applied.size());
        // Whatever the file left out stays as it was.
        QJsonObject values = ctl({"--json", "get", fleet.address(1)}).json()["printers"][0]["values"].toObject();
        const QJsonObject given = QJsonDocument::fromJson(settingsFile(groups)).object();
        for (const QString& group : given.keys()) {
            for (const QString& name : given[group].toObject().keys())
                values.remove(group + '.' + name);
        }
        for (const QString& name : values.keys())
            QCOMPARE(name + '=' + values[name].toVariant().toString(),
                name + '=' + before["printers"][0]["values"][name].toVariant().toString());
    }

    // The other printers of a run finish when one drops mid-apply, and keep
    // their order in the report; a field that does not take is named.
    void failures()
    {
        Fleet fleet(8, 2, {"--fault-ignore", "print.density"});
        Fleet dropping(9, 1, {"--fault-drop-after", "9"});
        QVERIFY(fleet.started() && dropping.started());
        const QString quality = fleet.write("quality.json", settingsFile(R"("print": {"quality": 70})"));
        Run run = ctl({"--json", "apply", quality, fleet.address(1), dropping.address(1), fleet.address(2)});
        QCOMPARE(run.exit, 1);
        const QStringList statuses = run.statuses();
        QCOMPARE(statuses.value(0) + '|' + statuses.value(2), "changed|changed");
        QVERIFY2(!statuses.value(1).isEmpty() && statuses[1] != "changed", qPrintable(statuses.value(1)));
        // Dropped between the write and the read-back.
        QCOMPARE(dropping.logged(1, " applied ").size(), 1);
        QCOMPARE(run.json()["summary"]["errors"].toInt(), 1);
        run = ctl({"--json", "apply", fleet.write("density.json", settingsFile(R"("print": {"density": 130})")),
            fleet.address(1)});
        QCOMPARE(run.exit, 1);
        QCOMPARE(run.statuses(), QStringList {"read-back mismatch: print.density"});
    }

    // Each printer its own static address from --vars; without, a file that
    // sets one is refused for two printers before either is touched, as is a
    // file the parser refuses, with its place named (the parser's messages
    // are tst_settings').
    void vars()
    {
        Fleet fleet(7, 2, {"--sn", "VARS"});
        QVERIFY(fleet.started());
        const QString file = fleet.write(
            "static.json", settingsFile(R"("ethernet": {"static_ip": "10.1.1.1", "static_netmask": "255.255.255.0"})"));
        Run run
            = ctl({"apply", fleet.write("bad.json", settingsFile(R"("print": {"density": 500})")), fleet.address(1)});
        QVERIFY2(run.exit == 1 && run.err.startsWith("bad file: line 4: print.density: "), run.err);
        run = ctl({"apply", file, fleet.address(1), fleet.address(2)});
        QCOMPARE(run.exit, 1);
        QVERIFY2(run.err.startsWith("refused: "), run.err);
        QVERIFY(fleet.logged(1, " open ").isEmpty() && fleet.logged(2, " open ").isEmpty());
        const QString csv = fleet.write("vars.csv", "sn,ethernet.static_ip\nVARS-001,10.1.1.11\nVARS-002,10.1.1.12\n");
        run = ctl({"--json", "apply", file, fleet.address(1), fleet.address(2), "--vars", csv});
        QCOMPARE(run.statuses(), QStringList({"changed", "changed"}));
        run = ctl({"--json", "get", fleet.address(2), "ethernet.static_ip"});
        QCOMPARE(run.json()["printers"][0]["values"]["ethernet.static_ip"].toString(), "10.1.1.12");
    }

    // Two printers of four changed by hand are found, with their fields.
    void drift()
    {
        Fleet fleet(7, 4);
        QVERIFY(fleet.started());
        QCOMPARE(ctl({"set", fleet.address(2), "print.density=130"}).exit, 0);
        QCOMPARE(ctl({"set", fleet.address(4), "audio.cloud=false", "print.quality=70"}).exit, 0);
        QCOMPARE(ctl({"set", fleet.address(1), "serial.baud=9600"}).exit, 0);
        const QString file = fleet.write(
            "drift.json", settingsFile(R"("print": {"density": 100, "quality": 50}, "audio": {"cloud": true})"));
        const Run run = ctl({"--json", "--jobs", "2", "drift", file, fleet.address(1), fleet.address(2),
            fleet.address(3), fleet.address(4)});
        QCOMPARE(run.exit, 2);
        QCOMPARE(run.statuses(), QStringList({"unchanged", "differs", "unchanged", "differs"}));
        QStringList changed;
        for (const QJsonValue& printer : run.json()["printers"].toArray()) {
            QStringList names;
            for (const QJsonValue& change : printer["changes"].toArray())
                names << change["name"].toString();
            changed << names.join(',');
        }
        QCOMPARE(changed, QStringList({"", "print.density", "", "print.quality,audio.cloud"}));
    }

    // A USB printer through the simulator's pseudo-terminal.
    void usb()
    {
        QTemporaryDir dir;
        SimProcess sim;
        const QString link = dir.filePath("lp0");
        QVERIFY(sim.start({"--port", "0", "--usb-pty", link}));
        Run run = ctl({"--json", "set", "usb:" + link, "print.density=115"});
        QCOMPARE(run.statuses(), QStringList {"changed"});
        run = ctl({"--json", "get", "usb:" + link, "print.density"});
        QCOMPARE(run.json()["printers"][0]["values"].toObject(), QJsonObject({{"print.density", 115}}));
    }

    // In a private network: discovery finds the printer there, also for a command.
    void discover()
    {
        netns::SimInNamespace sim(*netns::lab, 1);
        QVERIFY(sim.start({"--sn", "NS-1"}));
        const Run run = ctl({"--csv", "discover", "--seconds", "1.5"});
        QCOMPARE(run.exit, 0);
        QCOMPARE(run.out,
            "address,project,model,sn\n" + netns::lab->printerAddress(1).toString().toUtf8() + ",LQ520,LQ520,NS-1\n");
        QCOMPARE(ctl({"--json", "info", "--discover", "--seconds", "1.5"}).statuses(), QStringList {"ok"});
    }
};

int main(int argc, char* argv[])
{
    return netns::exec<TestPrinterCtl>(1, argc, argv);
}

#include "tst_printerctl.moc"
