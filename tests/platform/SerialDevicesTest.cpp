#include "platform/SerialDevices.h"
#include "platform/IniFile.h"
#include "platform/PortNames.h"
#include "support/PtyPair.h"
#include "support/QtPrinters.h"
#include "support/TempHome.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

using namespace tornyx::platform;
using tornyx::test::PtyPair;
using tornyx::test::TempHome;

namespace {

// A /dev, /sys/class/tty and lock folder of our own whose device nodes are
// links to real pseudo-terminals; /proc stays the real one.
struct DeviceTree {
    TempHome home;
    DeviceFolders where;
    DeviceTree() {
        where.dev = home.file("dev");
        where.sysTty = home.file("sys");
        where.locks = home.file("lock");
        QDir().mkpath(where.dev + "/serial/by-id");
        QDir().mkpath(where.sysTty);
        QDir().mkpath(where.locks);
    }
    void node(const QString& name, const PtyPair& pty) const {
        QFile::link(pty.slavePath(), where.dev + "/" + name);
    }
    void uart(const QString& name, const char* type) const {
        QDir().mkpath(where.sysTty + "/" + name);
        QFile f(where.sysTty + "/" + name + "/type");
        if (f.open(QIODevice::WriteOnly))
            f.write(QByteArray(type) + "\n");
    }
};

// Another program that holds a device open, as a terminal program would.
struct Holder {
    QProcess p;
    explicit Holder(const QString& device) {
        p.setStandardInputFile(device);
        p.start("sleep", {"30"});
        p.waitForStarted();
    }
    ~Holder() {
        p.kill();
        p.waitForFinished();
    }
};

std::string paths(const std::vector<SerialDevice>& list) {
    QStringList out;
    for (const SerialDevice& d : list)
        out << d.path;
    return out.join('\n').toStdString();
}

} // namespace

TEST(SerialDevices, ListsStableNamesFirstThenAdaptersThenAnsweringUartsInNumericOrder) {
    DeviceTree t;
    PtyPair usb, acm, s0, s1, s10;
    t.node("ttyUSB0", usb);
    t.node("ttyACM0", acm);
    t.node("ttyS0", s0);
    t.node("ttyS1", s1);
    t.node("ttyS10", s10);
    t.uart("ttyS0", "4");
    t.uart("ttyS1", "0"); // no UART behind it
    t.uart("ttyS10", "4");
    QFile::link("../../ttyUSB0", t.where.dev + "/serial/by-id/usb-FTDI_FT232R_USB_UART_A9H5LJV3-if00-port0");
    t.home.write("dev/ttyUSB7", "not a device");

    const auto list = listSerialDevices(t.where);
    const QString dev = t.where.dev;
    ASSERT_EQ(paths(list), QStringList({dev + "/serial/by-id/usb-FTDI_FT232R_USB_UART_A9H5LJV3-if00-port0",
                                        dev + "/ttyUSB0", dev + "/ttyACM0", dev + "/ttyS0", dev + "/ttyS10"})
                               .join('\n')
                               .toStdString());
    EXPECT_EQ(list[0].node, usb.slavePath());
    EXPECT_EQ(list[0].description, "FTDI FT232R USB UART A9H5LJV3");
    EXPECT_EQ(list[1].description, "FTDI FT232R USB UART A9H5LJV3")
        << "the node carries its stable name's words";
    EXPECT_EQ(list[2].description, "");
    for (const SerialDevice& d : list)
        EXPECT_FALSE(d.busy) << d.path.toStdString() << ": only this process holds the pseudo-terminals";
}

TEST(SerialDevices, DeviceHeldByAnotherProgramIsListedAsBusy) {
    DeviceTree t;
    PtyPair usb, acm;
    t.node("ttyUSB0", usb);
    t.node("ttyACM0", acm);
    {
        Holder holder(acm.slavePath());
        ASSERT_EQ(holder.p.state(), QProcess::Running);
        const auto list = listSerialDevices(t.where);
        ASSERT_EQ(list.size(), 2u);
        EXPECT_FALSE(list[0].busy);
        EXPECT_TRUE(list[1].busy) << "held, so shown, not hidden";
        EXPECT_EQ(deviceState(t.where.dev + "/ttyACM0", nodesHeldByOthers(t.where)), DeviceState::Busy);
    }
    EXPECT_EQ(deviceState(t.where.dev + "/ttyACM0", nodesHeldByOthers(t.where)), DeviceState::Present);
}

TEST(SerialDevices, UucpLockOfALiveProcessMarksTheDeviceBusy) {
    DeviceTree t;
    PtyPair usb;
    t.node("ttyUSB0", usb);
    Holder other(QStringLiteral("/dev/null"));
    QFile lock(t.where.locks + "/LCK..ttyUSB0");
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.write(QByteArray::number(other.p.processId()).rightJustified(10, ' ') + "\n");
    lock.close();
    EXPECT_TRUE(listSerialDevices(t.where).at(0).busy);

    other.p.kill();
    other.p.waitForFinished();
    EXPECT_FALSE(listSerialDevices(t.where).at(0).busy) << "a stale lock of a dead process does not count";
}

TEST(SerialDevices, StateOfTypedPaths) {
    TempHome home;
    PtyPair pty;
    const std::set<QString> none;
    EXPECT_EQ(deviceState(pty.slavePath(), none), DeviceState::Present);
    EXPECT_EQ(deviceState(home.file("nothing"), none), DeviceState::Missing);
    EXPECT_EQ(deviceState("", none), DeviceState::Missing);
    home.write("plain", "x");
    EXPECT_EQ(deviceState(home.file("plain"), none), DeviceState::NotDevice);
    EXPECT_EQ(deviceState(home.path(), none), DeviceState::NotDevice);
    EXPECT_EQ(deviceState(pty.slavePath(), {pty.slavePath()}), DeviceState::Busy);
}

TEST(SerialDevices, DescriptionFromTheStableName) {
    EXPECT_EQ(describeById("usb-FTDI_FT232R_USB_UART_A9H5LJV3-if00-port0"), "FTDI FT232R USB UART A9H5LJV3");
    EXPECT_EQ(describeById("usb-Prolific_Technology_Inc._USB-Serial_Controller-if00-port0"),
              "Prolific Technology Inc. USB-Serial Controller");
    EXPECT_EQ(describeById("usb-FTDI_Quad_RS232-HS-if02-port0"), "FTDI Quad RS232-HS (if2)")
        << "the ports of a multi-port adapter stay apart";
    EXPECT_EQ(describeById("usb-Arduino_Uno_1234-if00"), "Arduino Uno 1234");
}

TEST(PortMap, SavesChangedNamesAtomicallyAndKeepsEveryOtherByte) {
    TempHome home;
    const QByteArray before =
        "; hand notes\r\n[Main]\r\nLeft=10\r\n[Ports]\r\nCOM1=/dev/ttyUSB9\r\nCOM4 = /dev/x\r\n"
        "[Setting]\r\nSetNo=2\r\n";
    home.write("Tornyx.INI", before);
    PortMap map(home.file("Tornyx.INI"));
    EXPECT_EQ(map.device("com1"), "/dev/ttyUSB9");
    EXPECT_EQ(map.device("COM2"), "/dev/ttyS1");
    EXPECT_TRUE(map.isMapped("COM4"));
    EXPECT_FALSE(map.isMapped("COM2"));

    map.set("COM1", "/dev/ttyUSB9"); // the same again is no change
    EXPECT_FALSE(map.isChanged());
    map.set("COM2", " /dev/serial/by-id/usb-X-if00-port0 ");
    map.set("COM4", "");
    EXPECT_EQ(map.device("COM2"), "/dev/serial/by-id/usb-X-if00-port0");
    EXPECT_EQ(map.device("COM4"), "/dev/ttyS3") << "an emptied mapping falls back to the default device";
    // Another part of the program writes the file meanwhile; its key survives.
    home.write("Tornyx.INI", before + "[OptionPos]\r\nLeft=5\r\n");
    QString why;
    ASSERT_TRUE(map.save(&why)) << why.toStdString();
    EXPECT_FALSE(map.isChanged());
    EXPECT_EQ(
        home.read("Tornyx.INI"),
        QByteArray(
            "; hand notes\r\n[Main]\r\nLeft=10\r\n[Ports]\r\nCOM1=/dev/ttyUSB9\r\nCOM4 =\r\n"
            "COM2=/dev/serial/by-id/usb-X-if00-port0\r\n[Setting]\r\nSetNo=2\r\n[OptionPos]\r\nLeft=5\r\n"));
    IniFile reread(home.file("Tornyx.INI"));
    reread.load();
    EXPECT_EQ(portDevicePath("COM4", reread), "/dev/ttyS3");
    EXPECT_EQ(portDevicePath("COM2", reread), "/dev/serial/by-id/usb-X-if00-port0");
}

TEST(PortMap, FailedWriteKeepsTheChangesForAnotherTry) {
    TempHome home;
    PortMap map(home.file("no-such-folder/Tornyx.INI"));
    map.set("COM3", "/dev/ttyUSB0");
    QString why;
    EXPECT_FALSE(map.save(&why));
    EXPECT_FALSE(why.isEmpty());
    EXPECT_TRUE(map.isChanged());
    EXPECT_EQ(map.device("COM3"), "/dev/ttyUSB0");
}
