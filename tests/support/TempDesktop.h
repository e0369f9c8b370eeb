#pragma once

#include <QByteArray>
#include <QDir>
#include <QString>
#include <QTemporaryDir>

#include <utility>
#include <vector>

namespace tornyx::test {

// A user of a desktop session for one test: HOME, XDG_CONFIG_HOME and
// XDG_DATA_HOME point into a temporary folder (with a Desktop folder in it)
// for the test's life, so the shell integration writes nowhere else.
class TempDesktop {
public:
    TempDesktop() {
        set("HOME", m_dir.path());
        set("XDG_CONFIG_HOME", m_dir.path() + "/.config");
        set("XDG_DATA_HOME", m_dir.path() + "/.local/share");
        QDir(m_dir.path()).mkpath("Desktop");
        QDir(m_dir.path()).mkpath(".config");
    }
    ~TempDesktop() {
        for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
            if (it->second.isNull())
                qunsetenv(it->first.constData());
            else
                qputenv(it->first.constData(), it->second);
        }
    }
    TempDesktop(const TempDesktop&) = delete;
    TempDesktop& operator=(const TempDesktop&) = delete;

    QString home() const { return m_dir.path(); }
    QString desktop() const { return m_dir.path() + "/Desktop"; }
    QString dataHome() const { return m_dir.path() + "/.local/share"; }

    // Sets a variable until the end of the test.
    void set(const char* name, const QString& value) {
        m_saved.emplace_back(name, qEnvironmentVariableIsSet(name) ? qgetenv(name) : QByteArray());
        qputenv(name, value.toLocal8Bit());
    }
    void unset(const char* name) {
        m_saved.emplace_back(name, qEnvironmentVariableIsSet(name) ? qgetenv(name) : QByteArray());
        qunsetenv(name);
    }

private:
    QTemporaryDir m_dir;
    std::vector<std::pair<QByteArray, QByteArray>> m_saved;
};

} // namespace tornyx::test
