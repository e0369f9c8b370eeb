#pragma once

#include "app/TMainForm.h"
#include "support/EmulatedSerialPort.h"
#include "support/FakeClock.h"
#include "support/StandIns.h"
#include "support/TempHome.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <functional>
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
        services.commands = standInCommands(home);
        services.prompts = prompts;
        services.home = platform::SettingsHome(home.path());
        services.port = &port;
        services.clock = &clock;
        services.portProbe = [this](int n) {
            probed.push_back(n);
            return false;
        };
    }

    // Runs the event loop while the fake clock follows, 100 ms of simulated
    // time per turn, until done() holds or realMs have passed: the desk's
    // timers (the post-transfer step two seconds after a run, the mail five
    // seconds later) go by the injected clock. True when done() held.
    bool settle(const std::function<bool()>& done, int realMs = 15000) {
        QElapsedTimer t;
        t.start();
        while (!done() && t.elapsed() < realMs) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            clock.sleepUs(100'000);
        }
        return done();
    }
};

} // namespace tornyx::test
