#pragma once

#include <QByteArray>
#include <QString>

namespace tornyx::test {

// A pseudo-terminal for tests: the test plays the machine on the master,
// the code under test opens slavePath() like a serial device. The pair
// keeps a descriptor of the slave open itself, so the master never sees a
// hang-up between the test's opens and closes.
class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool isValid() const { return m_master >= 0; }
    int master() const { return m_master; }
    // The pair's own descriptor of the slave (to read its settings).
    int slave() const { return m_slave; }
    QString slavePath() const { return m_slavePath; }

    bool write(const QByteArray& bytes);
    // Reads from the master until `count` bytes came or timeoutMs passed.
    QByteArray read(int count, int timeoutMs = 2000);
    // Everything that arrives within timeoutMs.
    QByteArray drain(int timeoutMs = 50);
    // Closes the master: the slave side sees a hang-up.
    void hangUp();

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
};

} // namespace tornyx::test
