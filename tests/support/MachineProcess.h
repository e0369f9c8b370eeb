#pragma once

#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace tornyx::test {

// tornyx-machine in a child process: it opens a pseudo-terminal, and the
// test talks to its slave side like the program talks to a serial port.
// defaults come first on its command line, so an option in args wins.
class MachineProcess {
public:
    MachineProcess(const QString& program, const QStringList& defaults, const QStringList& args) {
        m_p.setProgram(program);
        m_p.setArguments(defaults + args);
        m_p.start();
        if (m_p.waitForReadyRead(5000))
            m_slave = QString::fromLocal8Bit(m_p.readLine()).trimmed();
    }
    ~MachineProcess() {
        if (m_p.state() != QProcess::NotRunning) {
            m_p.kill();
            m_p.waitForFinished(2000);
        }
    }
    MachineProcess(const MachineProcess&) = delete;
    MachineProcess& operator=(const MachineProcess&) = delete;

    // The pty's slave device, empty when the machine did not start.
    QString slave() const { return m_slave; }

    // The key=value pairs of the machine's result line, once it has ended.
    QMap<QString, QString> result(int waitMs = 10000) {
        m_p.waitForFinished(waitMs);
        QMap<QString, QString> out;
        for (const QString& line : QString::fromLocal8Bit(m_p.readAllStandardOutput()).split('\n'))
            if (line.startsWith("result "))
                for (const QString& kv : line.mid(7).split(' ', Qt::SkipEmptyParts))
                    out[kv.section('=', 0, 0)] = kv.section('=', 1);
        return out;
    }

private:
    QProcess m_p;
    QString m_slave;
};

} // namespace tornyx::test
