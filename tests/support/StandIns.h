#pragma once

#include "platform/SystemCommands.h"
#include "support/TempHome.h"

#include <QElapsedTimer>
#include <QFile>
#include <QThread>

namespace tornyx::test {

// An executable shell script in the test's home.
inline QString standInScript(const TempHome& home, const QString& name, const QString& body) {
    const QString path = home.file(name);
    home.write(name, ("#!/bin/sh\n" + body + "\n").toLocal8Bit());
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

// Mail and power-off commands that only record: the mail goes to mail.log,
// a power-off writes a line to shutdown.log, both in the test's home.
inline platform::SystemCommands standInCommands(const TempHome& home) {
    platform::SystemCommands c;
    c.mail = standInScript(home, "fake-sendmail", "cat >> '" + home.file("mail.log") + "'");
    c.mailFrom = "tornyx@test.invalid";
    c.shutdown = standInScript(home, "fake-poweroff", "echo off >> '" + home.file("shutdown.log") + "'");
    return c;
}

// Waits up to timeoutMs for a file a detached stand-in writes.
inline bool waitForFile(const QString& path, int timeoutMs = 5000) {
    QElapsedTimer t;
    t.start();
    while (!QFile::exists(path) && t.elapsed() < timeoutMs)
        QThread::msleep(10);
    return QFile::exists(path);
}

} // namespace tornyx::test
