#pragma once

#include "app/TMainForm.h"
#include "support/EmulatedSerialPort.h"
#include "support/FakeClock.h"
#include "support/TempHome.h"

#include <QFile>

#include <vector>

namespace tornyx::test {

// Services for a main window under test that can touch nothing outside the
// test's folder: transfers run over an emulated line on a fake clock, the
// close-time port probe only records, and the mail and power-off commands
// are stand-in scripts that write what they were given into files of the
// temporary home.
struct SafeServices {
    FakeClock clock;
    EmulatedSerialPort port{clock};
    MainFormServices services;
    std::vector<int> probed;
    QString mailLog;
    QString shutdownLog;

    SafeServices(const TempHome& home, Prompts* prompts) {
        mailLog = home.file("mail.log");
        shutdownLog = home.file("shutdown.log");
        const QString mail = script(home, "fake-sendmail", "cat >> '" + mailLog + "'");
        const QString off = script(home, "fake-poweroff", "echo off >> '" + shutdownLog + "'");
        platform::SystemCommands c;
        c.mail = mail;
        c.mailFrom = "tornyx@test.invalid";
        c.shutdown = off;
        services.commands = c;
        services.prompts = prompts;
        services.home = platform::SettingsHome(home.path());
        services.port = &port;
        services.clock = &clock;
        services.portProbe = [this](int n) {
            probed.push_back(n);
            return false;
        };
    }

private:
    static QString script(const TempHome& home, const QString& name, const QString& body) {
        const QString path = home.file(name);
        home.write(name, ("#!/bin/sh\n" + body + "\n").toLocal8Bit());
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }
};

} // namespace tornyx::test
