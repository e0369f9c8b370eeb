#pragma once

#include "platform/TextCodec.h"
#include "receive/ReceiveRun.h"
#include "serial/NcCode.h"
#include "serial/TransferSession.h"
#include "status/TransferLog.h"

#include "editor/ProgramIndex.h"
#include "support/EmulatedSerialPort.h"
#include "support/FakeClock.h"
#include "support/FakeLineHost.h"
#include "support/FakeWindow.h"
#include "support/TempHome.h"

#include <QFile>

#include <QStringList>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace tornyx::test {

// The text as the machine puts it on the line: ISO with even parity, EIA
// through the table (characters without a code are left out).
inline QByteArray iso(const QByteArray& text) {
    QByteArray out;
    for (const char c : text)
        out += char(nc::encodeIso(static_cast<unsigned char>(c)));
    return out;
}

inline QByteArray eia(const QByteArray& text) {
    QByteArray out;
    for (const char c : text)
        if (const auto b = nc::encodeEia(static_cast<unsigned char>(c)))
            out += char(*b);
    return out;
}

// A receive over the emulated line: the machine's bytes are handed to the
// port a few hundred at a time as the fake clock moves on, so that even a
// long tape keeps the emulated queue short.
struct ReceiveRig {
    TempHome home;
    FakeClock clock;
    EmulatedSerialPort port{clock};
    FakeLineHost line;
    FakeWindow host;
    ProgramIndex programs;
    TransferState state;
    TransferSession session{port, line, clock, [] { return QDateTime(QDate(2026, 12, 8), QTime(3, 4, 5)); }};
    ReceiveRun::Setup setup;

    QByteArray stream;
    qsizetype streamSent = 0;
    std::int64_t streamEndUs = 0;
    int chunk = 256;
    // Called on every pump with its number (stop button, hang-ups).
    std::function<void(int pump)> onPump;

    ReceiveRig() {
        session.setPortResolver(
            [](const QString& n) { return n.startsWith("COM") ? "/dev/emu/" + n : QString(); });
        session.log().setFolder(home.path());
        setup.profile = defaultProfile(1);
        ReadGroup& r = setup.profile.read;
        r.speed = 3;
        r.stopBits = 0;
        r.code = 0;
        r.word = 0;
        r.seChar = 3;
        r.signal = 0;
        setup.receiveFile = home.file("received.nc");
        setup.workingFolder = home.path();
        line.onPump = [this](int pump) {
            topUp();
            if (onPump)
                onPump(pump);
            // A run that never ends fails its test instead of hanging it.
            if (pump > 2000000) {
                ADD_FAILURE() << "the run did not end";
                session.requestStop();
            }
        };
    }

    ReadGroup& read() { return setup.profile.read; }

    void topUp() {
        if (streamSent >= stream.size() || !port.isOpen())
            return;
        const std::int64_t now = clock.nowUs();
        if (streamEndUs - now > 100000)
            return;
        const std::int64_t charUs = std::max<std::int64_t>(1, port.applied().characterTimeUs());
        const std::int64_t at = std::max(now, streamEndUs);
        const QByteArray part = stream.mid(streamSent, chunk);
        port.deliver(part, at);
        streamSent += part.size();
        streamEndUs = at + part.size() * charUs;
    }

    // Every byte of the stream has arrived and been read.
    bool allConsumed() {
        return streamSent >= stream.size() && clock.nowUs() >= streamEndUs && port.queuedInput() == 0;
    }

    ReceiveResult run() { return ReceiveRun(session, host, host, programs, state, setup).run(); }

    QByteArray file() const { return file(setup.receiveFile); }
    QString logFile() const {
        return platform::fromSjis(file(TransferLog::filePath(home.path(), TransferLog::Receive)));
    }
    static QByteArray file(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<no file>");
    }
    bool exists() const { return QFile::exists(setup.receiveFile); }

    // The log text without its time stamps.
    QStringList log() const {
        QStringList out;
        const QString stamp = session.log().stamp();
        for (const QString& l : session.log().text().split('\n', Qt::SkipEmptyParts))
            out << (l.startsWith(stamp) ? l.mid(stamp.size()) : "<no stamp>" + l);
        return out;
    }
    bool logHas(const QString& line) const { return log().contains(line); }
    std::string logText() const { return log().join(" / ").toStdString(); }
    QString messages() const {
        QStringList m;
        for (const auto& x : line.messages)
            m << x.text;
        return m.join('|');
    }
};

} // namespace tornyx::test
