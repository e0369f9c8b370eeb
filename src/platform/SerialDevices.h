#pragma once

#include <QString>

#include <set>
#include <vector>

namespace tornyx::platform {

// Where the lister looks. The defaults are this computer's; a test points
// them at a folder of its own (symbolic links to pseudo-terminals).
struct DeviceFolders {
    QString dev = QStringLiteral("/dev");
    QString sysTty = QStringLiteral("/sys/class/tty");
    QString proc = QStringLiteral("/proc");
    QString locks = QStringLiteral("/run/lock");
};

// One serial device an operator may map a port name to.
struct SerialDevice {
    QString path;        // what goes into [Ports]: a /dev/serial/by-id name or /dev/ttyUSB0
    QString node;        // the device node it leads to (/dev/ttyUSB0)
    QString description; // from the by-id name: "FTDI FT232R USB UART A9H5LJV3"; may be empty
    bool busy = false;   // another program holds it open
};

// Serial devices present now, without opening any of them (opening a serial
// port raises DTR and RTS, which a machine on the line may take as a start):
// the stable names under <dev>/serial/by-id first, then <dev>/ttyUSB*,
// <dev>/ttyACM* and the <dev>/ttyS* whose UART the kernel found (a
// non-zero <sysTty>/ttySn/type), each group in numeric order. A device that
// another program holds open is listed with busy set, not left out.
std::vector<SerialDevice> listSerialDevices(const DeviceFolders& where = {});

enum class DeviceState {
    Present,   // a character device this program may open
    Busy,      // present, but another program holds it open
    Missing,   // nothing at that path
    NoAccess,  // present, but the user may not read and write it
    NotDevice, // a file or folder, not a device
};

// The state of a typed or mapped device path, again without opening it;
// heldByOthers is what nodesHeldByOthers() found.
DeviceState deviceState(const QString& path, const std::set<QString>& heldByOthers);

// The description of a by-id name: "usb-FTDI_FT232R_USB_UART_A9H5LJV3-if00-port0"
// gives "FTDI FT232R USB UART A9H5LJV3".
QString describeById(const QString& byIdName);

// The device nodes that processes other than this one hold open, found
// through <proc>/<pid>/fd and the UUCP lock files of <locks> ("LCK..ttyUSB0"
// naming a live process). Only the processes this user may inspect are seen.
std::set<QString> nodesHeldByOthers(const DeviceFolders& where = {});

} // namespace tornyx::platform
