#include "support/TempHome.h"

#include <QFile>

namespace tornyx::test {

TempHome::TempHome() : m_previous(qgetenv("TORNYX_HOME")) {
    qputenv("TORNYX_HOME", m_dir.path().toLocal8Bit());
}

TempHome::~TempHome() {
    if (m_previous.isEmpty())
        qunsetenv("TORNYX_HOME");
    else
        qputenv("TORNYX_HOME", m_previous);
}

void TempHome::write(const QString& name, const QByteArray& bytes) const {
    QFile f(file(name));
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
}

QByteArray TempHome::read(const QString& name) const {
    QFile f(file(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString hex(const QByteArray& bytes) {
    QString out;
    for (unsigned char b : bytes) {
        if (!out.isEmpty())
            out += ' ';
        out += QString::asprintf("%02X", b);
    }
    return out;
}

} // namespace tornyx::test
