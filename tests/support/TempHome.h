#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace tornyx::test {

// A fresh settings home for one test: TORNYX_HOME points at a temporary
// folder for the test's life, so nothing touches the developer's files.
class TempHome {
public:
    TempHome();
    ~TempHome();
    QString path() const { return m_dir.path(); }
    QString file(const QString& name) const { return m_dir.filePath(name); }
    void write(const QString& name, const QByteArray& bytes) const;
    QByteArray read(const QString& name) const;

private:
    QTemporaryDir m_dir;
    QByteArray m_previous;
};

// Bytes as upper-case hex pairs, for failure messages that show values.
QString hex(const QByteArray& bytes);

} // namespace tornyx::test
