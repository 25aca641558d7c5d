#pragma once

// What the suites on a link to the printer simulator share: a scratch
// working directory holding the debug log, the simulator, and the
// Transceiver the program's objects reach through the global pointer.

#include "app/debuglog.h"
#include "link/transceiver.h"
#include "settings/records.h"
#include "simprocess.h"
#include "testsupport.h"

#include <QTimer>
#include <QtTest>

#include <unistd.h>

// A printer's font folder as shipped: its configuration file and one font.
inline bool seedFontFolder(const QString& folder)
{
    return !writeScratchFile(folder + "/fonts.conf", fileData(1733)).isEmpty()
        && !writeScratchFile(folder + "/DejaVuSansMono.ttf", fileData(1733)).isEmpty();
}

// The debug log messages written since `from` bytes, without the thread tag
// and the source location ("USB opened."); those that start with `prefix`
// when one is given.
inline QStringList logMessagesSince(qint64 from, const QString& prefix = {})
{
    const QRegularExpression line("^\\[[^]]*\\] (" + QRegularExpression::escape(prefix) + ".*) \\(.*\\)\r?$",
        QRegularExpression::MultilineOption);
    QStringList messages;
    for (auto it = line.globalMatch(QString::fromLatin1(readFile(QStringLiteral("log.txt")).mid(int(from))));
         it.hasNext();)
        messages.append(it.next().captured(1));
    return messages;
}

inline qint64 logSize()
{
    return QFile(QStringLiteral("log.txt")).size();
}

class LinkFixture final
{
public:
    // Replies and socket states cross threads queued; the log is open for as
    // long as the fixture lives.
    LinkFixture()
    {
        qRegisterMetaType<host_cmd_dev_info_t>("host_cmd_dev_info_t");
        qRegisterMetaType<QAbstractSocket::SocketState>("QAbstractSocket::SocketState");
        if (!initCase())
            qFatal("LinkFixture: no scratch directory or log");
    }
    ~LinkFixture() { logClose(); }
    bool initCase() { return dir.isValid() && logOpen(); }
    void cleanupCase() { logClose(); }

    // A fresh Transceiver for each test; no Shift key unless a test hands one in.
    void makeLink() { transceiver = (link = std::make_unique<Transceiver>()).get(); }
    // Closes the link and stops the simulator; returns its exit code.
    int dropLink()
    {
        if (link)
            link->close();
        link.reset();
        transceiver = nullptr;
        return sim.stop();
    }

    bool connectTcp()
    {
        QSignalSpy connected(link.get(), &Transceiver::connected);
        return link->openTcp(sim.address()) && connected.wait(15000);
    }
    QString connectedText() const { return QStringLiteral("Connected (%1)").arg(sim.address().toString()); }

    ScratchDirectory dir;
    SimProcess sim;
    std::unique_ptr<Transceiver> link;
};

// Replies as the GUI objects see them: HostCmd emits on the USB reader
// thread, so they are collected through a queued connection on this one.
// Only those with one of `ids`, when given: other traffic may still trail.
class Responses final : public QObject
{
public:
    explicit Responses(const QList<quint16>& ids = {})
    {
        connect(&hostCmd, &HostCmd::responseReceived, this, [this, ids](QByteArray record) {
            if (ids.isEmpty() || ids.contains(RecordReader(record).u16(0)))
                records.append(record);
        });
    }
    bool waitFor(int count)
    {
        return QTest::qWaitFor([this, count] { return records.size() >= count; }, 15000);
    }
    QList<QByteArray> records;
};

// Sends the read requests and collects one reply per request, in order.
inline QList<QByteArray> requestRecords(const QList<quint16>& types)
{
    Responses responses(types);
    bool sent = true;
    for (quint16 type : types)
        sent = sent && hostCmd.requestRecord(type);
    return sent && responses.waitFor(types.size()) ? responses.records : QList<QByteArray>();
}

// What the fault tests watch while a fault plays: that the event loop keeps
// turning and that memory stays bounded.
class LoopWatch final
{
public:
    LoopWatch() { timer_.start(10); }
    // The loop turns now: another tick of a 10 ms timer comes.
    bool turned() { return QSignalSpy(&timer_, &QTimer::timeout).wait(1000); }
    qint64 growth() const { return residentBytes() - rssBefore_; }

private:
    static qint64 residentBytes()
    {
        return readFile(QStringLiteral("/proc/self/statm")).split(' ').value(1).toLongLong() * sysconf(_SC_PAGESIZE);
    }

    QTimer timer_;
    qint64 rssBefore_ = residentBytes();
};
