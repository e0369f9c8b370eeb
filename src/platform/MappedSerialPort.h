#pragma once

#include "platform/NetworkSerialPort.h"
#include "platform/PosixSerialPort.h"

namespace tornyx::platform {

// The port a [Ports] value names: a local device through termios, or a
// device server through RFC 2217 or a raw socket (see parsePortMapping).
// open() and probe() pick the kind; every other call goes to the port that
// the last of them picked.
class MappedSerialPort final : public SerialPort {
public:
    MappedSerialPort() = default;
    explicit MappedSerialPort(NetworkSerialPort::Timing timing) : m_network(timing) {}

    bool open(const QString& devicePath) override { return pick(devicePath).open(devicePath); }
    PortState probe(const QString& devicePath) override { return pick(devicePath).probe(devicePath); }
    bool isOpen() const override { return m_active->isOpen(); }
    void close() override { m_active->close(); }

    std::optional<LineParameters> lineParameters() override { return m_active->lineParameters(); }
    bool setLineParameters(const LineParameters& p) override { return m_active->setLineParameters(p); }
    std::optional<Timeouts> timeouts() override { return m_active->timeouts(); }
    bool setTimeouts(const Timeouts& t) override { return m_active->setTimeouts(t); }
    bool setQueueSizes(int in, int out) override { return m_active->setQueueSizes(in, out); }
    bool purge() override { return m_active->purge(); }

    int queuedInput() override { return m_active->queuedInput(); }
    int queuedOutput() override { return m_active->queuedOutput(); }
    std::optional<unsigned char> readByte() override { return m_active->readByte(); }
    bool writeByte(unsigned char b) override { return m_active->writeByte(b); }

    std::optional<ModemLines> modemStatus() override { return m_active->modemStatus(); }
    bool raiseDtr() override { return m_active->raiseDtr(); }
    bool raiseRts() override { return m_active->raiseRts(); }

    bool waitForInput(std::int64_t timeoutUs) override { return m_active->waitForInput(timeoutUs); }
    bool lineLost() override { return m_active->lineLost(); }
    int descriptor() const override { return m_active->descriptor(); }
    QString lastError() const override { return m_active->lastError(); }
    QString peerName() const override { return m_active->peerName(); }
    bool setsLineParameters() const override { return m_active->setsLineParameters(); }

private:
    SerialPort& pick(const QString& devicePath) {
        m_active->close();
        m_active = devicePath.contains("://") ? static_cast<SerialPort*>(&m_network) : &m_local;
        return *m_active;
    }

    PosixSerialPort m_local;
    NetworkSerialPort m_network;
    SerialPort* m_active = &m_local;
};

} // namespace tornyx::platform
