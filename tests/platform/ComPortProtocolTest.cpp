#include "platform/ComPortProtocol.h"
#include "platform/PortNames.h"

#include "support/TempHome.h"

#include <gtest/gtest.h>

using namespace tornyx::platform;
using tornyx::test::hex;

namespace {

QByteArray bytes(std::initializer_list<int> values) {
    QByteArray b;
    for (int v : values)
        b.append(char(v));
    return b;
}

QByteArray feed(ComPortProtocol& p, const QByteArray& in) {
    QByteArray data;
    p.receive(in.constData(), std::size_t(in.size()), data);
    return data;
}

} // namespace

TEST(ComPortProtocol, NegotiatesBinaryAndTheComPortOptionAndRefusesTheRest) {
    ComPortProtocol p;
    p.start();
    EXPECT_EQ(hex(p.output()), "FF FB 00 FF FB 03 FF FB 2C FF FD 00 FF FD 03");
    p.output().clear();
    // The server agrees, offers to echo and asks for a terminal type.
    feed(p, bytes({0xFF, 0xFD, 0x00, 0xFF, 0xFB, 0x00, 0xFF, 0xFB, 0x01, 0xFF, 0xFD, 0x18}));
    EXPECT_EQ(int(p.negotiation()), int(ComPortProtocol::Negotiation::Pending));
    feed(p, bytes({0xFF, 0xFD, 0x2C, 0xFF, 0xFB, 0x03, 0xFF, 0xFD, 0x03}));
    EXPECT_EQ(int(p.negotiation()), int(ComPortProtocol::Negotiation::Done));
    // Only the refusals go out: agreements to our own requests are not
    // acknowledged again, or two peers would loop.
    EXPECT_EQ(hex(p.output()), "FF FE 01 FF FC 18");
    p.output().clear();
    // A repeated request changes nothing and is not answered.
    feed(p, bytes({0xFF, 0xFD, 0x2C, 0xFF, 0xFB, 0x00}));
    EXPECT_EQ(hex(p.output()), "");
}

TEST(ComPortProtocol, AServerWithoutTheComPortOptionOrBinaryIsRefused) {
    for (const QByteArray& answer :
         {bytes({0xFF, 0xFE, 0x2C}), bytes({0xFF, 0xFC, 0x00}), bytes({0xFF, 0xFE, 0x00})}) {
        ComPortProtocol p;
        p.start();
        feed(p, answer);
        EXPECT_EQ(int(p.negotiation()), int(ComPortProtocol::Negotiation::Refused))
            << hex(answer).toStdString();
    }
}

TEST(ComPortProtocol, EveryByteValuePassesBothWays) {
    ComPortProtocol out;
    QByteArray all;
    for (int b = 0; b < 256; ++b) {
        out.sendData(static_cast<unsigned char>(b));
        all.append(char(b));
    }
    EXPECT_EQ(out.output().size(), 257) << "only IAC is doubled";
    EXPECT_EQ(hex(out.output().right(3)), "FE FF FF");

    // What the server sends back, cut at every place, even between the two
    // halves of a doubled IAC.
    ComPortProtocol in;
    QByteArray data;
    for (char c : out.output())
        in.receive(&c, 1, data);
    EXPECT_EQ(hex(data), hex(all));
    // Telnet commands in the stream are no data.
    EXPECT_EQ(hex(feed(in, bytes({0x41, 0xFF, 0xF1, 0x42, 0xFF, 0xF9, 0x43}))), "41 42 43");
}

TEST(ComPortProtocol, CommandsAndServerReports) {
    ComPortProtocol p;
    p.sendCommand(comport::SetBaudRate, ComPortProtocol::baudValue(115200));
    p.sendCommand(comport::SetDataSize, 8);
    // A value byte 0xFF is doubled inside the subnegotiation too.
    p.sendCommand(comport::SetModemStateMask, 0xFF);
    EXPECT_EQ(hex(p.output()), "FF FA 2C 01 00 01 C2 00 FF F0 FF FA 2C 02 08 FF F0 FF FA 2C 0B FF FF FF F0");

    EXPECT_FALSE(p.answer(comport::SetBaudRate));
    EXPECT_FALSE(p.modemState());
    const QByteArray data =
        feed(p, bytes({0x31, 0xFF, 0xFA, 0x2C, 0x65, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xF0, 0x32, 0xFF,
                       0xFA, 0x2C, 0x6B, 0xB0, 0xFF, 0xF0, 0xFF, 0xFA, 0x2C, 0x6C, 0xFF, 0xF0}));
    EXPECT_EQ(hex(data), "31 32");
    ASSERT_TRUE(p.answer(comport::SetBaudRate));
    EXPECT_EQ(hex(*p.answer(comport::SetBaudRate)), "00 00 FF");
    EXPECT_EQ(p.modemState().value_or(0), 0xB0);
    EXPECT_TRUE(p.isSuspended());
    feed(p, bytes({0xFF, 0xFA, 0x2C, 0x6D, 0xFF, 0xF0}));
    EXPECT_FALSE(p.isSuspended());
    p.forgetAnswer(comport::SetBaudRate);
    EXPECT_FALSE(p.answer(comport::SetBaudRate));
}

TEST(PortMapping, DevicePathsAndDeviceServerAddresses) {
    struct Case {
        const char* value;
        PortMapping::Kind kind;
        const char* host;
        int port;
    };
    using K = PortMapping::Kind;
    const Case cases[] = {
        {"/dev/ttyUSB0", K::Device, "", 0},
        {" rfc2217://192.168.1.20:4001 ", K::Rfc2217, "192.168.1.20", 4001},
        {"RFC2217://box-3.shop.local:2217", K::Rfc2217, "box-3.shop.local", 2217},
        {"tcp://[::1]:7000", K::RawTcp, "::1", 7000},
        {"tcp://[fe80::1%eth0]:1", K::RawTcp, "fe80::1%eth0", 1},
        {"tcp://127.0.0.1:65535", K::RawTcp, "127.0.0.1", 65535},
        {"rfc2217://box:0", K::Invalid, "", 0},
        {"rfc2217://box:65536", K::Invalid, "", 0},
        {"rfc2217://box", K::Invalid, "", 0},
        {"rfc2217://:4001", K::Invalid, "", 0},
        {"tcp://::1:7000", K::Invalid, "", 0},
        {"tcp://box:4001/x", K::Invalid, "", 0},
        {"telnet://box:23", K::Invalid, "", 0},
        {"", K::Invalid, "", 0},
    };
    for (const Case& c : cases) {
        const PortMapping m = parsePortMapping(QString::fromUtf8(c.value));
        EXPECT_EQ(int(m.kind), int(c.kind)) << c.value;
        EXPECT_EQ(m.host, QString::fromUtf8(c.host)) << c.value;
        EXPECT_EQ(m.port, c.port) << c.value;
        EXPECT_EQ(m.error.isEmpty(), c.kind != K::Invalid) << c.value << " " << m.error.toStdString();
    }
    EXPECT_EQ(parsePortMapping("tcp://[::1]:7000").address(), "[::1]:7000");
    EXPECT_EQ(parsePortMapping("rfc2217://box:4001").address(), "box:4001");
    EXPECT_EQ(parsePortMapping("/dev/pts/3").device, "/dev/pts/3");
}
