// tornyx-machine: a simulated NC controller on a pseudo-terminal.
#include "Machine.h"

#include "platform/IniFile.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

using namespace tornyx;
using namespace tornyx::machine;

namespace {

const char* const Help = R"(Usage: tornyx-machine [options]

Plays an NC controller on the other end of a serial line. It opens a
pseudo-terminal and prints the slave device path (for example /dev/pts/5) as
the first line on stdout; map a port name to it in the [Ports] section of
Tornyx.INI (COM1=/dev/pts/5, or use --write-ports) and point the profile at
that port. At the end of each transfer it prints one line
  result mode=... end=... bytes=N data=N sent=N after_xoff=N xoffs=N
         overflow=N starved=N pauses=N max_fill=N span_us=N held_us=N rate=B/s line_rate=B/s
         tty=BAUD-8N2
(bytes: received; data: decoded program characters; after_xoff: the most
bytes that arrived while the machine held its XOFF; held_us: how long it
held it; rate: received or punched bytes per second between the first and
the last, the time held included; tty: the framing the PC's side of the
pseudo-terminal had when the first byte came, which shows what a device
server in between set).

What the controller does:
  --mode receive     wait for the PC to open the line, send DC1 (again every
                     --dc1-repeat ms until data comes), read the program until
                     its end code (the second "%"), DC4, CAN, a hang-up or
                     --idle ms of silence; decode it and write it to --out
  --mode punch       punch out a program: --input FILE (default a small sample)
                     with --leader N NUL bytes before and after and, with
                     --frame, "%" LF ... "%" around it; the PC's DC3 (0x13 or
                     0x93) holds the tape until its DC1
  --mode dnc         like receive, into a buffer of --buffer N bytes that the
                     machine runs at --blocks-per-s M blocks per second; DC3
                     when it is three quarters full, DC1 at a quarter
  --mode controller  (default) serve every opening: receive what the PC sends
                     into --out-dir/received-<n>.nc, or punch --input when the
                     PC stays silent for --punch-after ms
Code and line:
  --code iso|eia|raw|auto   tape code (auto: settled by the first data byte)
  --baud N --bits N --parity none|even|odd --stop 1|2
                     framing whose character time paces reading and writing
                     (default 9600 8N2); --no-pace reads and writes at once;
                     --exact reads byte by byte (always so with XOFF, DNC or
                     faults), else the machine reads every 4 ms
  --dc3 0x13|0x93    the XOFF character the machine sends (default: DC3 in
                     the machine's code, 0x93 in ISO with its even parity,
                     0x13 otherwise)
Receive options:
  --out FILE  --raw-out FILE  --times FILE (arrival time of each byte, us)
  --xoff-at N --xoff-ms MS   send XOFF after N data bytes, DC1 MS ms later
  --no-percent-end   the second "%" does not end the program
  --start-delay MS   pause after the PC opened before the first DC1 (300)
  --idle MS          silence that ends a receive (3000)
  --punch-wait-dc1   punch: start on the PC's DC1 instead of after the delay
Faults (N counts data bytes received, or bytes punched):
  --fault can@N | dc4@N | noise@N:HEXBYTES | hangup@N   (repeatable)
General:
  --timeout MS       give up after MS ms (exit code 3)
  --repeat           receive/punch/dnc: serve the next opening as well
  --write-ports INI [--port-name COM1]
                     store <port>=<slave path> in the [Ports] section of INI
                     (other keys are kept)
  --help
)";

[[noreturn]] void usage(const std::string& why) {
    std::fprintf(stderr, "tornyx-machine: %s (see --help)\n", why.c_str());
    std::exit(1);
}

int toInt(const char* s, const char* what) {
    char* end = nullptr;
    const long v = std::strtol(s, &end, 0);
    if (!end || *end || v < 0 || v > 100000000)
        usage(std::string("bad value for ") + what + ": " + s);
    return int(v);
}

Fault parseFault(const std::string& s) {
    Fault f;
    const auto at = s.find('@');
    if (at == std::string::npos)
        usage("bad --fault " + s);
    const std::string kind = s.substr(0, at);
    std::string rest = s.substr(at + 1);
    if (kind == "noise") {
        const auto colon = rest.find(':');
        if (colon == std::string::npos)
            usage("bad --fault " + s);
        const std::string hexText = rest.substr(colon + 1);
        rest = rest.substr(0, colon);
        for (std::size_t i = 0; i + 1 < hexText.size(); i += 2)
            f.noise += char(std::strtol(hexText.substr(i, 2).c_str(), nullptr, 16));
        f.kind = FaultKind::Noise;
    } else if (kind == "can") {
        f.kind = FaultKind::Can;
    } else if (kind == "dc4") {
        f.kind = FaultKind::Dc4;
    } else if (kind == "hangup") {
        f.kind = FaultKind::HangUp;
    } else {
        usage("bad --fault " + s);
    }
    f.atByte = toInt(rest.c_str(), "--fault");
    return f;
}

} // namespace

int main(int argc, char** argv) {
    Config c;
    bool pauseCharGiven = false;
    std::string portsIni;
    std::string portName = "COM1";
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() -> const char* {
            if (i + 1 >= argc)
                usage(a + " needs a value");
            return argv[++i];
        };
        if (a == "--help" || a == "-h") {
            std::fputs(Help, stdout);
            return 0;
        } else if (a == "--mode") {
            const std::string m = next();
            c.mode = m == "receive"      ? Mode::Receive
                     : m == "punch"      ? Mode::Punch
                     : m == "dnc"        ? Mode::Dnc
                     : m == "controller" ? Mode::Controller
                                         : (usage("bad --mode " + m), Mode::Receive);
        } else if (a == "--code") {
            const std::string m = next();
            c.code = m == "iso"    ? CodeMode::Iso
                     : m == "eia"  ? CodeMode::Eia
                     : m == "raw"  ? CodeMode::Raw
                     : m == "auto" ? CodeMode::Undecided
                                   : (usage("bad --code " + m), CodeMode::Iso);
        } else if (a == "--baud") {
            c.baud = toInt(next(), "--baud");
        } else if (a == "--bits") {
            c.dataBits = toInt(next(), "--bits");
        } else if (a == "--parity") {
            c.parityBits = std::string(next()) == "none" ? 0 : 1;
        } else if (a == "--stop") {
            c.stopBits = toInt(next(), "--stop");
        } else if (a == "--exact") {
            c.batchUs = -1;
        } else if (a == "--no-pace") {
            c.pace = false;
        } else if (a == "--dc3") {
            c.pauseChar = static_cast<unsigned char>(toInt(next(), "--dc3"));
            pauseCharGiven = true;
        } else if (a == "--out") {
            c.outFile = next();
        } else if (a == "--raw-out") {
            c.rawFile = next();
        } else if (a == "--times") {
            c.timesFile = next();
        } else if (a == "--input") {
            c.inputFile = next();
        } else if (a == "--out-dir") {
            c.outDir = next();
        } else if (a == "--leader") {
            c.leader = toInt(next(), "--leader");
        } else if (a == "--frame") {
            c.frame = true;
        } else if (a == "--punch-wait-dc1") {
            c.punchWaitsDc1 = true;
        } else if (a == "--punch-after") {
            c.punchAfterMs = toInt(next(), "--punch-after");
        } else if (a == "--xoff-at") {
            c.xoffAt = toInt(next(), "--xoff-at");
        } else if (a == "--xoff-ms") {
            c.xoffMs = toInt(next(), "--xoff-ms");
        } else if (a == "--buffer") {
            c.dncBuffer = toInt(next(), "--buffer");
        } else if (a == "--blocks-per-s") {
            c.dncBlocksPerSec = std::max(0.1, std::atof(next()));
        } else if (a == "--no-percent-end") {
            c.endOnPercent = false;
        } else if (a == "--start-delay") {
            c.startDelayMs = toInt(next(), "--start-delay");
        } else if (a == "--dc1-repeat") {
            c.dc1RepeatMs = toInt(next(), "--dc1-repeat");
        } else if (a == "--idle") {
            c.idleMs = toInt(next(), "--idle");
        } else if (a == "--timeout") {
            c.timeoutMs = toInt(next(), "--timeout");
        } else if (a == "--fault") {
            c.faults.push_back(parseFault(next()));
        } else if (a == "--repeat") {
            c.repeat = true;
        } else if (a == "--write-ports") {
            portsIni = next();
        } else if (a == "--port-name") {
            portName = next();
        } else {
            usage("unknown option " + a);
        }
    }
    // An ISO controller sends its DC3 with even parity, as it sends every
    // other character.
    if (!pauseCharGiven)
        c.pauseChar = c.code == CodeMode::Iso ? nc::Dc3Parity : nc::Dc3;
    // XOFF and fault timing need every byte as it comes.
    if (c.batchUs < 0 || c.mode == Mode::Dnc || c.xoffAt > 0 || !c.faults.empty())
        c.batchUs = 0;
    if (c.mode == Mode::Dnc && c.dncBuffer <= 0)
        c.dncBuffer = 256;
    if (c.mode != Mode::Dnc)
        c.dncBuffer = 0;

    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[128];
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
        ::ptsname_r(master, name, sizeof name) != 0) {
        std::perror("tornyx-machine: pseudo-terminal");
        return 2;
    }
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    // Open and close the slave once: from then on the master reports a
    // hang-up while the PC does not hold the line, which is how the machine
    // sees the PC open and close it.
    const int slave = ::open(name, O_RDWR | O_NOCTTY);
    if (slave >= 0) {
        termios t{};
        if (::tcgetattr(slave, &t) == 0) {
            ::cfmakeraw(&t);
            ::tcsetattr(slave, TCSANOW, &t);
        }
        ::close(slave);
    }
    std::printf("%s\n", name);
    std::fflush(stdout);

    if (!portsIni.empty()) {
        platform::IniFile ini(QString::fromLocal8Bit(portsIni.c_str()));
        ini.load();
        ini.writeString("Ports", QString::fromStdString(portName), QString::fromLocal8Bit(name));
        QString error;
        if (!ini.save(&error)) {
            std::fprintf(stderr, "tornyx-machine: %s\n", error.toLocal8Bit().constData());
            return 2;
        }
    }

    const int rc = run(master, name, c);
    ::close(master);
    return rc;
}
