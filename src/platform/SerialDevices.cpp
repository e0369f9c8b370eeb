#include "platform/SerialDevices.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace tornyx::platform {

namespace {

QString canonicalNode(const QString& path) {
    return QFileInfo(path).canonicalFilePath();
}

QByteArray readSmallFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.read(256) : QByteArray();
}

// "ttyS10" sorts after "ttyS9".
int trailingNumber(const QString& name) {
    qsizetype i = name.size();
    while (i > 0 && name.at(i - 1).isDigit())
        --i;
    return i < name.size() ? name.mid(i).toInt() : -1;
}

QStringList nodesNamed(const QString& dev, const QString& pattern) {
    QStringList names = QDir(dev).entryList({pattern}, QDir::System | QDir::Files | QDir::NoDotAndDotDot);
    std::sort(names.begin(), names.end(),
              [](const QString& a, const QString& b) { return trailingNumber(a) < trailingNumber(b); });
    return names;
}

// The kernel creates ttyS0..ttySn whether or not a UART answers at the
// port; serial core reports type 0 (PORT_UNKNOWN) for the silent ones.
bool uartAnswers(const DeviceFolders& where, const QString& name) {
    const QByteArray type = readSmallFile(where.sysTty + "/" + name + "/type").trimmed();
    return !type.isEmpty() && type != "0";
}

bool isCharacterDevice(const QString& node) {
    struct stat st {};
    return !node.isEmpty() && ::stat(QFile::encodeName(node).constData(), &st) == 0 && S_ISCHR(st.st_mode);
}

bool isOwnProcess(const QString& pidText) {
    return pidText.toLongLong() == static_cast<long long>(::getpid());
}

} // namespace

QString describeById(const QString& byIdName) {
    QString d = byIdName;
    for (const char* bus : {"usb-", "pci-", "platform-"})
        if (d.startsWith(QLatin1String(bus))) {
            d = d.mid(static_cast<qsizetype>(qstrlen(bus)));
            break;
        }
    // The interface and port suffix tells one device from another on a
    // multi-port adapter; the operator needs it only there.
    static const QRegularExpression suffix(QStringLiteral("-if(\\d+)(-port(\\d+))?$"));
    const QRegularExpressionMatch m = suffix.match(d);
    QString port;
    if (m.hasMatch()) {
        const int interfaceNumber = m.captured(1).toInt();
        const int portNumber = m.captured(3).toInt();
        if (interfaceNumber > 0 || portNumber > 0)
            port = QStringLiteral(" (if%1)").arg(interfaceNumber);
        d.chop(m.capturedLength());
    }
    d.replace('_', ' ');
    return d.trimmed() + port;
}

std::set<QString> nodesHeldByOthers(const DeviceFolders& where) {
    std::set<QString> held;
    const QDir proc(where.proc);
    for (const QString& pid : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool numeric = false;
        pid.toLongLong(&numeric);
        if (!numeric || isOwnProcess(pid))
            continue;
        const QDir fds(where.proc + "/" + pid + "/fd");
        for (const QString& fd : fds.entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot)) {
            const QString target = QFileInfo(fds.filePath(fd)).symLinkTarget();
            if (target.startsWith(QLatin1String("/dev/")))
                held.insert(target);
        }
    }
    // Programs that follow the UUCP convention announce the device they use
    // even where this user cannot look into their descriptors.
    const QDir locks(where.locks);
    for (const QString& lock : locks.entryList({QStringLiteral("LCK..*")}, QDir::Files)) {
        const QString pid = QString::fromLatin1(readSmallFile(locks.filePath(lock))).trimmed();
        bool numeric = false;
        pid.toLongLong(&numeric);
        if (!numeric || isOwnProcess(pid) || !QFileInfo::exists(where.proc + "/" + pid))
            continue;
        const QString node = canonicalNode(where.dev + "/" + lock.mid(5));
        if (!node.isEmpty())
            held.insert(node);
    }
    return held;
}

DeviceState deviceState(const QString& path, const std::set<QString>& heldByOthers) {
    const QString node = canonicalNode(path.trimmed());
    if (node.isEmpty())
        return DeviceState::Missing;
    if (!isCharacterDevice(node))
        return DeviceState::NotDevice;
    if (::access(QFile::encodeName(node).constData(), R_OK | W_OK) != 0)
        return DeviceState::NoAccess;
    return heldByOthers.count(node) ? DeviceState::Busy : DeviceState::Present;
}

std::vector<SerialDevice> listSerialDevices(const DeviceFolders& where) {
    const std::set<QString> held = nodesHeldByOthers(where);
    std::vector<SerialDevice> out;
    auto add = [&](const QString& path, const QString& description) {
        const QString node = canonicalNode(path);
        if (!isCharacterDevice(node))
            return;
        out.push_back({path, node, description, held.count(node) > 0});
    };

    const QString byId = where.dev + "/serial/by-id";
    QStringList ids = QDir(byId).entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& id : ids)
        add(byId + "/" + id, describeById(id));
    // A node that has a stable name carries its description too.
    auto descriptionOf = [&](const QString& node) {
        for (const SerialDevice& d : out)
            if (d.node == node && d.path.startsWith(byId))
                return d.description;
        return QString();
    };

    for (const char* pattern : {"ttyUSB*", "ttyACM*"})
        for (const QString& name : nodesNamed(where.dev, QString::fromLatin1(pattern)))
            add(where.dev + "/" + name, descriptionOf(canonicalNode(where.dev + "/" + name)));
    for (const QString& name : nodesNamed(where.dev, QStringLiteral("ttyS*")))
        if (uartAnswers(where, name))
            add(where.dev + "/" + name, QString());
    return out;
}

} // namespace tornyx::platform
