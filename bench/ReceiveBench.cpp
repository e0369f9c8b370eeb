// Receive benchmark: tornyx-machine punches a program over a pseudo-terminal
// and the receive run stores it. Prints throughput, processor time, memory
// and whether the file is byte-exact.
//
//   receive_bench [paced-kilobytes=100] [unpaced-megabytes=10]
//
// The paced run goes at 19200 bit/s 8N2 (about 1745 bytes/s, so 100 KB take
// about a minute); the unpaced one at pty speed with the machine obeying
// XOFF/XON.
#include "editor/ProgramIndex.h"
#include "platform/PosixSerialPort.h"
#include "receive/ReceiveRun.h"
#include "serial/TransferSession.h"
#include "support/FakeWindow.h"
#include "support/SkippingClock.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <fstream>
#include <string>

#include <sys/resource.h>

using namespace tornyx;

namespace {

std::int64_t cpuUs() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (std::int64_t(u.ru_utime.tv_sec) + u.ru_stime.tv_sec) * 1000000 + u.ru_utime.tv_usec +
           u.ru_stime.tv_usec;
}

long rssKb() {
    std::ifstream f("/proc/self/status");
    std::string key;
    while (f >> key) {
        if (key == "VmRSS:") {
            long kb = 0;
            f >> kb;
            return kb;
        }
        std::getline(f, key);
    }
    return -1;
}

class QuietLine final : public LineHost {
public:
    Answer showMessage(Kind, const QString& text, Buttons, const QString&) override {
        std::fprintf(stderr, "message: %s\n", text.toUtf8().constData());
        return Answer::Ok;
    }
    void processEvents() override {
        ++pumps;
        if (onPump)
            onPump();
    }
    void setDsrLamp(bool) override {}
    void setCtsLamp(bool) override {}
    std::optional<QString> askSwitchNumber() override { return std::nullopt; }
    long pumps = 0;
    std::function<void()> onPump;
};

class QuietHost final : public test::FakeWindow {
public:
    void setTransferPanel(TransferPanel panel, const QString& text) override {
        if (panel == TransferPanel::State)
            state = text;
    }
    void clear() override { ++flushes; }
    QString state;
    int flushes = 0;
};

void writeProgram(const QString& path, qint64 bytes, QByteArray& expected) {
    QByteArray text = "O1000(BENCH)\n";
    expected = "O1000(BENCH)\r\n";
    for (int i = 1; text.size() < bytes; ++i) {
        const QByteArray n = QByteArray::number(i);
        text += "N" + n + "G01X" + QByteArray::number(i % 997) + ".125Y-" + QByteArray::number(i % 89) +
                ".5F1200\n";
        expected += "N" + n + " G01 X" + QByteArray::number(i % 997) + ".125 Y-" +
                    QByteArray::number(i % 89) + ".5 F1200\r\n";
    }
    text += "M30\n";
    expected += "M30\r\n";
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(text);
}

void runOnce(const char* title, qint64 bytes, const QStringList& machineArgs) {
    QTemporaryDir dir;
    QByteArray expected;
    writeProgram(dir.filePath("in.nc"), bytes, expected);

    QProcess machine;
    machine.setProgram(TORNYX_MACHINE);
    machine.setArguments(QStringList{"--mode", "punch", "--code", "iso", "--frame", "--leader", "5",
                                     "--start-delay", "100", "--timeout", "600000", "--input",
                                     dir.filePath("in.nc")} +
                         machineArgs);
    machine.start();
    if (!machine.waitForReadyRead(5000)) {
        std::printf("%s: tornyx-machine did not start\n", title);
        return;
    }
    const QString slave = QString::fromLocal8Bit(machine.readLine()).trimmed();

    platform::PosixSerialPort port;
    QuietLine line;
    test::SkippingClock clock;
    TransferSession session(port, line, clock);
    session.setPortResolver([&](const QString&) { return slave; });
    QuietHost host;

    ReceiveRun::Setup setup;
    setup.profile.read.speed = 5;
    setup.profile.read.stopBits = 1;
    setup.profile.read.code = 0;
    setup.profile.read.seChar = 3;
    setup.options.line.dc3Is93 = false;
    setup.receiveFile = dir.filePath("received.nc");

    std::int64_t startUs = 0, endUs = 0, cpuStart = 0, cpuEnd = 0;
    long rssAtStart = 0, rssMax = 0, rssAfterFirstFlush = 0;
    int maxQueued = 0;
    line.onPump = [&] {
        if (startUs == 0 && host.state == "＜＜ 受信中 ＞＞") {
            startUs = clock.nowUs();
            cpuStart = cpuUs();
            rssAtStart = rssKb();
        }
        if (startUs != 0 && endUs == 0) {
            maxQueued = std::max(maxQueued, port.queuedInput());
            const long rss = rssKb();
            rssMax = std::max(rssMax, rss);
            if (host.flushes == 2 && rssAfterFirstFlush == 0)
                rssAfterFirstFlush = rss;
        }
        if (endUs == 0 && host.state == "保存中") {
            endUs = clock.nowUs();
            cpuEnd = cpuUs();
            clock.skip(4000000);
        }
    };
    ProgramIndex programs;
    TransferState transferState;
    const ReceiveResult res = ReceiveRun(session, host, host, programs, transferState, setup).run();
    QFile f(setup.receiveFile);
    const QByteArray got = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    machine.waitForFinished(10000);
    const QString result = QString::fromLocal8Bit(machine.readAllStandardOutput()).trimmed();

    const double seconds = double(endUs - startUs) / 1e6;
    const double cpu = double(cpuEnd - cpuStart) / 1e6;
    std::printf("%s\n", title);
    std::printf("  outcome %s, file %s (%lld bytes stored, %lld lines)\n",
                res.outcome == ReceiveResult::Outcome::Completed ? "completed" : "NOT completed",
                got == expected ? "byte-exact" : "DIFFERENT", (long long)got.size(),
                (long long)got.count('\n'));
    std::printf("  %.2f s, %.0f bytes/s received, CPU %.2f s = %.1f%% of one core\n", seconds,
                double(got.size()) / seconds, cpu, 100.0 * cpu / seconds);
    std::printf(
        "  RSS at start %ld kB, after first flush %ld kB, max %ld kB; largest input queue seen %d bytes\n",
        rssAtStart, rssAfterFirstFlush, rssMax, maxQueued);
    std::printf("  machine: %s\n", result.section('\n', -1).toUtf8().constData());
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const qint64 pacedKb = argc > 1 ? QByteArray(argv[1]).toLongLong() : 100;
    const qint64 unpacedMb = argc > 2 ? QByteArray(argv[2]).toLongLong() : 10;
    if (pacedKb > 0)
        runOnce("paced: 19200 bit/s 8N2", pacedKb * 1024, {"--baud", "19200", "--stop", "2"});
    if (unpacedMb > 0)
        runOnce("unpaced: pty speed, machine obeys XOFF/XON", unpacedMb * 1024 * 1024, {"--no-pace"});
    return 0;
}
