#pragma once

#include "app/TransferDesk.h"
#include "send/SendFakes.h"
#include "support/EmulatedSerialPort.h"
#include "support/FakeClock.h"
#include "support/FakeWindow.h"
#include "support/StandIns.h"
#include "support/TempHome.h"

namespace tornyx::test {

// The transfer desk over the emulated line on the fake clock, with the
// window recorded and the message boxes scripted; every port name leads to
// the emulated line.
struct EmulatedDesk {
    TempHome home;
    FakeClock clock;
    EmulatedSerialPort port{clock};
    ScriptedLineHost lineHost;
    FakeWindow win;
    TransferDesk desk{{port, clock, standInCommands(home), platform::SettingsHome(home.path())},
                      deskViews(lineHost, win)};

    EmulatedDesk() {
        desk.session().setPortResolver([](const QString&) { return QStringLiteral("/dev/emulated"); });
    }
};

} // namespace tornyx::test
