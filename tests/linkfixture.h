#pragma once

// What the suites on a link to the printer simulator share: a scratch
// working directory holding the debug log, the simulator, and the
// Transceiver the program's objects reach through the global pointer.

#include "app/debuglog.h"
#include "link/hostcmd.h"
#include "settings/records.h"
#include "link/transceiver.h"
#include "simprocess.h"
#include "testsupport.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>

#include <memory>

// A printer's font folder as shipped: its configuration file and one font.
inline bool seedFontFolder(const QString& folder)
{
    for (const char* name : {"fonts.conf", "DejaVuSansMono.ttf"}) {
        QFile file(QDir(folder).filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(fileData(1733)) != 1733)
            return false;
    }
    return true;
}

// The debug log lines written since `from` bytes, without the thread tag,
// e.g. "USB opened. (usbprinter.cpp,120)".
inline QStringList logLinesSince(qint64 from)
{
    const QByteArray text = readFile(QStringLiteral("log.txt")).mid(int(from));
    QStringList lines;
    for (const QByteArray& line : text.split('\n')) {
        const QByteArray trimmed = line.trimmed();
        const int close = trimmed.indexOf("] ");
        if (close >= 0)
            lines.append(QString::fromLatin1(trimmed.mid(close + 2)));
    }
    return lines;
}

// The messages alone, without their source location; those that start with
// `prefix` when one is given.
inline QStringList logMessagesSince(qint64 from, const QString& prefix = {})
{
    QStringList messages;
    for (const QString& line : logLinesSince(from)) {
        if (line.startsWith(prefix))
            messages.append(line.left(line.lastIndexOf(QStringLiteral(" ("))));
    }
    return messages;
}

inline qint64 logSize()
{
    return QFileInfo(QStringLiteral("log.txt")).size();
}

class LinkFixture final
{
public:
    // From initTestCase: replies and socket states cross threads queued.
    bool initCase()
    {
        qRegisterMetaType<host_cmd_dev_info_t>("host_cmd_dev_info_t");
        qRegisterMetaType<QAbstractSocket::SocketState>("QAbstractSocket::SocketState");
        return dir.isValid() && logOpen();
    }
    void cleanupCase() { logClose(); }

    // A fresh Transceiver for each test; no Shift key unless a test hands one in.
    void makeLink()
    {
        link = std::make_unique<Transceiver>();
        transceiver = link.get();
    }
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
    bool waitFor(int count, int timeoutMs = 15000)
    {
        return QTest::qWaitFor([this, count] { return records.size() >= count; }, timeoutMs);
    }
    QList<QByteArray> records;
};

// Sends the read requests and collects one reply per request, in order.
inline QList<QByteArray> requestRecords(const QList<quint16>& types)
{
    Responses responses(types);
    for (quint16 type : types) {
        if (!hostCmd.requestRecord(type))
            return {};
    }
    responses.waitFor(types.size());
    return responses.records;
}
