#pragma once

#include "link/packet.h"
#include "render/escposrenderer.h"
#include "tools/printersim/simmodel.h"

#include <QByteArray>
#include <QDir>
#include <QHostAddress>
#include <QObject>
#include <QString>

class QTcpServer;
class QTimer;
class SimPrinter;

// The paper this model prints on: 58 mm for the compact one, 80 mm otherwise.
escpos::Options printOptions(const SimIdentity& identity);

// Raw print jobs kept as files in one directory: job-0001.bin holds the bytes
// as they arrived, job-0001.txt and job-0001.png their renderings
// (render/escposrenderer.h; the image in a GUI application only).
class SimJobCapture final : public QObject
{
    Q_OBJECT

public:
    SimJobCapture(SimPrinter* printer, QObject* parent = nullptr);

    // Creates the directory if needed; false with `error`.
    bool open(const QString& directory, QString& error);
    bool isOpen() const { return open_; }
    // Writes the job and its rendering; returns the .bin path, empty when
    // nothing was written (an empty job or a file error, logged).
    QString save(const QByteArray& job, const QString& source);

Q_SIGNALS:
    void jobCaptured(const QString& path);

private:
    SimPrinter* printer_;
    QDir dir_;
    bool open_ = false;
    int jobs_ = 0;
};

// The raw print port: each connection is one job, captured when it closes.
class SimRawPrintServer final : public QObject
{
    Q_OBJECT

public:
    static constexpr quint16 kDefaultPort = 9100;

    SimRawPrintServer(SimJobCapture* capture, QObject* parent = nullptr);

    bool listen(const QHostAddress& address, quint16 port);
    QString errorString() const;
    quint16 port() const;

private:
    void onNewConnection();

    SimJobCapture* capture_;
    QTcpServer* server_;
};

// The USB side carries host command packets and raw print data on one byte
// stream. The rule: at a packet boundary, bytes that start with 10 01 11 (or
// a piece of it at the end of a read) begin a packet and go to the session;
// any other byte is print data, up to the next 10 01 11. A job ends when a
// packet follows it, after kIdleMs without more print data, or on finish().
// An accepted upload's file bytes come unframed and go to the session whole.
class SimUsbStream final : public QObject
{
    Q_OBJECT

public:
    static constexpr int kIdleMs = 300;

    SimUsbStream(SimJobCapture* capture, QObject* parent = nullptr);

    // Captures the print data of `chunk`; returns the session's bytes, in order.
    QByteArray take(const QByteArray& chunk);
    // Ends the job in progress, if any.
    void finish();
    // The next `count` bytes go to the session as they are.
    void passThrough(qint64 count);

private:
    void appendRaw(const QByteArray& bytes);

    SimJobCapture* capture_;
    QTimer* idle_;
    packet::Assembler assembler_ {packet::kHandshakeRequestBody};
    QByteArray job_;
    qint64 passThrough_ = 0;
};
